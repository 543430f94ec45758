#include "model/Competitors.h"

#include <QString>
#include <algorithm>
#include <array>
#include <numeric>
#include <utility>

#include "model/BuiltinAccounts.h"
#include "model/CollectionHelpers.h"
#include "model/ItemFactories.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

struct BuiltinAccount {
    const Guid& (*id)();
    std::uint8_t role;
    const char* name;
};

// In the order of their places at the head of the users list.
const std::array<BuiltinAccount, 3> kBuiltins = {{
    {AdministratorAccountId, kRoleAdministrator, "Администратор"},
    {TeacherAccountId, kRoleTeacher, "Преподаватель"},
    {ApplicantAccountId, kRoleApplicant, "Соискатель"},
}};

bool isBuiltinId(const Guid& id) {
    return std::any_of(kBuiltins.begin(), kBuiltins.end(),
                       [&id](const BuiltinAccount& builtin) { return builtin.id() == id; });
}

bool byName(const std::string& a, const std::string& b) {
    return compareNames(a, b) < 0;
}

bool accountsFirstThenByName(const IExaminerItem& a, const IExaminerItem& b) {
    if (a.IsCollection() != b.IsCollection()) {
        return !a.IsCollection();
    }
    return byName(a.GetName(), b.GetName());
}

// Moves each built-in account found among the count entries to its place 0, 1 or 2 (the last
// entry when the list is shorter); the other entries keep their order. Each account is looked
// up before it is moved: moving them in one walk over the list can push an account not yet
// visited past the walk, leaving the teacher and the applicant swapped.
template <class HasId, class Move>
void placeBuiltins(int count, HasId hasId, Move move) {
    for (int place = 0; place < static_cast<int>(kBuiltins.size()) && count > 0; ++place) {
        const Guid& id = kBuiltins[static_cast<std::size_t>(place)].id();
        const int target = std::min(place, count - 1);
        for (int index = 0; index < count; ++index) {
            if (hasId(index, id)) {
                if (index != target) {
                    move(index, target);
                }
                break;
            }
        }
    }
}

std::string cutName(const std::string& name) {
    return name.substr(0, std::min(name.size(), kAuthorizationNameLength));
}

// Which of the names another of them equals, as names compare.
std::vector<bool> sharedNames(const std::vector<std::string>& listed) {
    std::vector<QString> names;
    names.reserve(listed.size());
    for (const std::string& name : listed) {
        names.push_back(fromCp1251(name));
    }
    // Equal names stand side by side in name order, whatever order they come in.
    std::vector<std::size_t> order(names.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&names](std::size_t a, std::size_t b) {
        return compareNames(names[a], names[b]) < 0;
    });
    std::vector<bool> shared(names.size(), false);
    for (std::size_t i = 1; i < order.size(); ++i) {
        if (compareNames(names[order[i - 1]], names[order[i]]) == 0) {
            shared[order[i - 1]] = true;
            shared[order[i]] = true;
        }
    }
    return shared;
}

// The names the accounts are listed by, in their order: the display name; for an account
// whose name another of them shares, NameWithPlace, with the full name where the place does
// not tell them apart either.
std::vector<std::string> listedNames(const std::vector<TCompetitor*>& accounts) {
    std::vector<std::string> listed;
    listed.reserve(accounts.size());
    for (const TCompetitor* account : accounts) {
        listed.push_back(account->GetName());
    }
    // Namesakes by where they are; those of one class and town by their full names too.
    const std::vector<bool> shared = sharedNames(listed);
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        if (shared[i]) {
            listed[i] = NameWithPlace(*accounts[i], false);
        }
    }
    const std::vector<bool> sharedStill = sharedNames(listed);
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        if (shared[i] && sharedStill[i]) {
            listed[i] = NameWithPlace(*accounts[i], true);
        }
    }
    return listed;
}

}  // namespace

TCompetitors::TCompetitors() : TExaminerCollection(kUsersGroupKind, Guid()) {
    FixClassIdentity(Guid());
}

bool TCompetitors::Accepts(const TExaminerElement& element) const {
    return dynamic_cast<const TCompetitor*>(&element) != nullptr;
}

bool TCompetitors::AcceptsCollection(const TExaminerCollection& collection) const {
    return dynamic_cast<const TCompetitors*>(&collection) != nullptr;
}

TCompetitor* TCompetitors::findAccount(const Guid& id) const {
    return dynamic_cast<TCompetitor*>(FindItem(id));
}

int TCompetitors::AddCompetitor(std::unique_ptr<TCompetitor>&& account, bool requireNewId) {
    if (!account) {
        return -1;
    }
    const Guid id = account->Id();
    if (!loading_) {
        if (isBuiltinId(id)) {
            throw KvalorError("Выполнение невозможно");
        }
        if (!id.isNull() && requireNewId) {
            return -1;
        }
    }
    TCompetitor& added = *account;
    const int index = AddItem(std::move(account));
    if (added.Id().isNull()) {
        added.NewId();
    }
    return index;
}

void TCompetitors::EnsureBuiltins() {
    for (std::size_t place = 0; place < kBuiltins.size(); ++place) {
        const BuiltinAccount& builtin = kBuiltins[place];
        if (FindItem(builtin.id())) {
            continue;
        }
        auto account = std::make_unique<TCompetitor>(builtin.id());
        const std::string name = toCp1251(QString::fromUtf8(builtin.name));
        account->SetName(name);
        account->SetField(AccountField::LastName, name);
        account->SetRole(builtin.role);
        InsertItem(static_cast<int>(place), std::move(account));
    }
}

TCompetitor* TCompetitors::Administrator() const {
    return dynamic_cast<TCompetitor*>(ElementAt(0));
}

TCompetitor* TCompetitors::Teacher() const {
    return dynamic_cast<TCompetitor*>(ElementAt(1));
}

TCompetitor* TCompetitors::Applicant() const {
    return findAccount(ApplicantAccountId());
}

std::vector<TCompetitor*> TCompetitors::SortedAccounts() const {
    std::vector<TCompetitor*> accounts;
    for (auto* element : CollectItems(*this, {}, true)) {
        // Class names are data a reader may have been told; only the real class counts.
        if (auto* account = dynamic_cast<TCompetitor*>(element)) {
            accounts.push_back(account);
        }
    }
    // Converted once: a school has thousands of accounts.
    std::vector<std::pair<QString, TCompetitor*>> named;
    named.reserve(accounts.size());
    for (TCompetitor* account : accounts) {
        named.emplace_back(fromCp1251(account->GetName()), account);
    }
    std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
        return compareDisplayNames(a.first, b.first) < 0;
    });
    std::transform(named.begin(), named.end(), accounts.begin(),
                   [](const auto& entry) { return entry.second; });
    placeBuiltins(
        static_cast<int>(accounts.size()),
        [&accounts](int index, const Guid& id) {
            return accounts[static_cast<std::size_t>(index)]->Id() == id;
        },
        [&accounts](int from, int to) {
            TCompetitor* account = accounts[static_cast<std::size_t>(from)];
            accounts.erase(accounts.begin() + from);
            accounts.insert(accounts.begin() + to, account);
        });
    return accounts;
}

void TCompetitors::Sort() {
    SortEntries(accountsFirstThenByName);
    for (int i = 0; i < Count(); ++i) {
        if (auto* group = CollectionAt(i)) {
            group->SortEntries(accountsFirstThenByName);
        }
    }
    placeBuiltins(
        Count(),
        [this](int index, const Guid& id) {
            const auto* element = ElementAt(index);
            return element && element->Id() == id;
        },
        [this](int from, int to) { MoveEntry(from, to); });
}

std::vector<ListedAccount> TCompetitors::ListedAccounts() const {
    const std::vector<TCompetitor*> accounts = SortedAccounts();
    const std::vector<std::string> names = listedNames(accounts);
    struct Entry {
        int rank;
        QString name;
        ListedAccount listed;
    };
    std::vector<Entry> entries;
    entries.reserve(accounts.size());
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        const int place = BuiltinAccountPlace(accounts[i]->Id());
        entries.push_back({place >= 0 ? place : 3, fromCp1251(names[i]), {accounts[i], names[i]}});
    }
    // Namesakes follow the order of what is written beside them ("5 А" before "10 А").
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.rank != b.rank ? a.rank < b.rank : compareDisplayNames(a.name, b.name) < 0;
    });
    std::vector<ListedAccount> listed;
    listed.reserve(entries.size());
    for (Entry& entry : entries) {
        listed.push_back(std::move(entry.listed));
    }
    return listed;
}

TAuthorizations TCompetitors::BuildAuthorizations() {
    EnsureBuiltins();
    TAuthorizations entries;
    for (const auto& [account, name] : ListedAccounts()) {
        TAuthorization entry;
        entry.UserName = cutName(name);
        entry.UserId = account->Id();
        // Accounts directly in this list are in no group.
        const TExaminerCollection* group = account->Parent();
        if (group && group != this) {
            entry.GroupName = cutName(group->GetName());
            entry.GroupId = group->Id();
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool TCompetitors::CheckPassword(const Guid& userId, const QString& text) const {
    const auto* account = findAccount(userId);
    return account && account->CheckPassword(text);
}

int BuiltinAccountPlace(const Guid& id) {
    for (std::size_t place = 0; place < kBuiltins.size(); ++place) {
        if (kBuiltins[place].id() == id) {
            return static_cast<int>(place);
        }
    }
    return -1;
}

std::string NameWithPlace(const TCompetitor& account, bool withFullName) {
    std::vector<std::string> place;
    // The users list itself, which has no parent, is no group.
    const TExaminerCollection* group = account.Parent();
    if (group && group->Parent() && !group->GetName().empty()) {
        place.push_back(group->GetName());
    }
    if (!account.GetField(AccountField::Town).empty()) {
        place.push_back(account.GetField(AccountField::Town));
    }
    // Last, so that namesakes of one class stay together in a sorted list.
    if (withFullName) {
        std::string given = account.GetField(AccountField::FirstName);
        const std::string& patronymic = account.GetField(AccountField::Patronymic);
        given += given.empty() || patronymic.empty() ? patronymic : ' ' + patronymic;
        if (!given.empty()) {
            place.push_back(given);
        }
    }
    std::string name = account.GetName();
    for (std::size_t i = 0; i < place.size(); ++i) {
        name += (i == 0 ? " (" : ", ") + place[i];
    }
    return place.empty() ? name : name + ')';
}

void installUsersFactories() {
    setAccountElementFactory([] { return std::make_unique<TCompetitor>(); });
    setUsersGroupFactory([] { return std::make_unique<TCompetitors>(); });
}

}  // namespace kvalor
