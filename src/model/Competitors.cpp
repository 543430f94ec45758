#include "model/Competitors.h"

#include <QString>
#include <algorithm>
#include <array>

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

// The account's last name is its display name.
constexpr int kLastNameField = 1;

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

THash deciphered(const THash& bytes) {
    THash text = bytes;
    // Bytes that are no cipher container (an empty string among them) stay as they are.
    TKVTEADecrypt().decipher(text);
    return text;
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
        account->SetField(kLastNameField, name);
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
    std::stable_sort(accounts.begin(), accounts.end(),
                     [](const TCompetitor* a, const TCompetitor* b) {
                         return byName(a->GetName(), b->GetName());
                     });
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

TAuthorizations TCompetitors::BuildAuthorizations() {
    EnsureBuiltins();
    TAuthorizations entries;
    for (const auto* account : SortedAccounts()) {
        TAuthorization entry;
        entry.UserName = cutName(account->GetName());
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

bool TCompetitors::CheckPassword(const Guid& userId, const THash& enciphered) const {
    const auto* account = findAccount(userId);
    return account && account->Password() == deciphered(enciphered);
}

bool TCompetitors::ChangePassword(TCompetitor& account, const THash& oldBytes,
                                  const THash& newBytes) {
    if (account.Password() != deciphered(oldBytes)) {
        return false;
    }
    account.SetPassword(deciphered(newBytes));
    return true;
}

void TCompetitors::LoadFromStream(ByteStream& stream, const ReadContext& context) {
    const bool wasLoading = loading_;
    loading_ = true;
    try {
        TExaminerCollection::LoadFromStream(stream, context);
    } catch (...) {
        loading_ = wasLoading;
        throw;
    }
    loading_ = wasLoading;
}

void installUsersFactories() {
    setAccountElementFactory([] { return std::make_unique<TCompetitor>(); });
    setUsersGroupFactory([] { return std::make_unique<TCompetitors>(); });
}

}  // namespace kvalor
