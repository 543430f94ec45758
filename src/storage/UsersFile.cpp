// The user exchange file: the users list alone, carried from one installation to another.

#include <QString>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "model/BuiltinAccounts.h"
#include "model/CollectionHelpers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "storage/CompoundFile.h"
#include "storage/DataStreams.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// One entry taken out of a users list, to be put into another.
using UsersEntry =
    std::variant<std::unique_ptr<TExaminerElement>, std::unique_ptr<TExaminerCollection>>;

UsersEntry takeUsersEntry(TCompetitors& list, int index) {
    if (TExaminerElement* element = list.ElementAt(index)) {
        return list.Extract(*element);
    }
    return list.Extract(*list.CollectionAt(index));
}

void putUsersEntry(TCompetitors& list, int index, UsersEntry&& entry) {
    if (auto* element = std::get_if<std::unique_ptr<TExaminerElement>>(&entry)) {
        list.InsertItem(index, std::move(*element));
    } else {
        list.InsertCollection(index,
                              std::move(std::get<std::unique_ptr<TExaminerCollection>>(entry)));
    }
}

// The users of an exchange file, read whole before anything of the list that the import is
// for changes, so that a damaged file leaves that list as it was.
std::unique_ptr<TCompetitors> readExchangeFile(const QString& fileName) {
    RequireExistingFile(fileName);
    // The container's errors carry "Ошибка чтения $<code>".
    const CompoundFileReader file(fileName);
    const ReadContext context{ReadFormatVersion(file.root())};
    ByteStream stream =
        ReadDataStream(RequireStorage(file.root(), kCompetitorsStorage), context.version,
                       StorageTitle(kCompetitorsStorage, StoredFile::Users));
    auto users = std::make_unique<TCompetitors>();
    LoadUsersStream(*users, stream, context, StoredAdministrator::Discard);
    return users;
}

// Links the studies and the current user to the accounts of the users list by id.
void linkAccounts(TKvalor& root, const Guid& currentId) {
    std::unordered_map<Guid, TCompetitor*> accounts;
    for (TExaminerElement* element : CollectItems(root.Users(), "TCompetitor", true)) {
        if (auto* account = dynamic_cast<TCompetitor*>(element)) {
            accounts.emplace(account->Id(), account);
        }
    }
    const auto find = [&accounts](const Guid& id) -> TCompetitor* {
        const auto it = accounts.find(id);
        return it == accounts.end() ? nullptr : it->second;
    };
    // A study whose account is not in the list keeps none.
    for (int i = 0; i < root.Studies().Count(); ++i) {
        TStudy& study = root.Studies().StudyAt(i);
        study.SetUser(find(study.UserId()));
    }

    TCompetitor* current = currentId.isNull() ? nullptr : find(currentId);
    // A run mode chosen as the teacher or the applicant stays with that built-in account
    // when the file lacks it: it is created again, as the next login would do.
    if (current == nullptr &&
        (currentId == TeacherAccountId() || currentId == ApplicantAccountId())) {
        root.Users().EnsureBuiltins();
        current = dynamic_cast<TCompetitor*>(root.Users().FindItem(currentId));
    }
    root.SetCurrentUser(current);
}

// How many studies, linked to an account now, the users list would no longer hold after taking
// in the imported list: it keeps its first entry and gets the imported ones, and linkAccounts
// creates again the built-in account the program runs as.
int orphanedStudies(const TKvalor& root, const TCompetitors& imported, const Guid& currentId) {
    std::unordered_set<Guid> kept;
    const auto keep = [&kept](const TExaminerElement& element) {
        if (dynamic_cast<const TCompetitor*>(&element)) {
            kept.insert(element.Id());
        }
    };
    for (const TExaminerElement* element : CollectItems(imported, {}, true)) {
        keep(*element);
    }
    if (const TExaminerElement* first = root.Users().ElementAt(0)) {
        keep(*first);
    } else if (const TExaminerCollection* group = root.Users().CollectionAt(0)) {
        for (const TExaminerElement* element : CollectItems(*group, {}, true)) {
            keep(*element);
        }
    }
    if (currentId == TeacherAccountId() || currentId == ApplicantAccountId()) {
        kept.insert(currentId);
    }
    int count = 0;
    for (int i = 0; i < root.Studies().Count(); ++i) {
        const TStudy& study = root.Studies().StudyAt(i);
        if (study.User() != nullptr && !kept.contains(study.UserId())) {
            ++count;
        }
    }
    return count;
}

}  // namespace

void TCompetitors::SaveToFile(const QString& fileName) {
    // The container's errors carry "Ошибка записи $<code>".
    CompoundFileWriter file(fileName);
    const char version = static_cast<char>(kCurrentFormatVersion);
    file.root().writeStream(kVersionStream, std::string_view(&version, 1));
    ByteStream users;
    SaveUsersStream(*this, users);
    WriteDataStream(file.root(), kCompetitorsStorage, std::move(users));
    file.commit();
}

void TCompetitors::LoadFromFile(const QString& fileName) {
    TakeImported(*readExchangeFile(fileName));
}

void TCompetitors::TakeImported(TCompetitors& imported) {
    // The first entry, the built-in administrator account, stays with its password; the
    // imported entries take the place of all others.
    std::vector<UsersEntry> entries;
    entries.reserve(static_cast<std::size_t>(imported.Count()) + 1);
    while (imported.Count() > 0) {
        entries.push_back(takeUsersEntry(imported, imported.Count() - 1));
    }
    if (Count() > 0) {
        entries.push_back(takeUsersEntry(*this, 0));
    }
    Clear();
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        putUsersEntry(*this, Count(), std::move(*entry));
    }
    // Sorted with the administrator in place, so that the teacher and the applicant take the
    // places 1 and 2 behind it rather than one place further.
    Sort();
}

UsersImportReport TKvalor::ImportUsers(const QString& fileName,
                                       const UsersImportConfirmation& confirm) {
    // Read whole before anything changes: a damaged file leaves everything as it was.
    std::unique_ptr<TCompetitors> imported = readExchangeFile(fileName);
    const Guid currentId = CurrentUser() ? CurrentUser()->Id() : Guid();
    UsersImportReport report;
    report.orphanedStudies = orphanedStudies(*this, *imported, currentId);
    if (report.orphanedStudies > 0 && confirm && !confirm(report)) {
        return report;
    }

    // Nothing may point into the list while its accounts are replaced; the links are made
    // again by id afterwards, however the replacement ends.
    SetCurrentUser(nullptr);
    for (int i = 0; i < Studies().Count(); ++i) {
        Studies().StudyAt(i).SetUser(nullptr);
    }
    try {
        Users().TakeImported(*imported);
    } catch (...) {
        linkAccounts(*this, currentId);
        throw;
    }
    linkAccounts(*this, currentId);
    report.imported = true;
    return report;
}

}  // namespace kvalor
