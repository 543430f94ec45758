#pragma once

#include <QString>
#include <memory>
#include <string_view>
#include <vector>

#include "model/Authorization.h"
#include "model/Competitor.h"
#include "model/ExaminerCollection.h"
#include "util/ByteStream.h"

namespace kvalor {

struct ListedAccount {
    TCompetitor* account = nullptr;
    std::string name;
};

// The users list of the root object and every group of users in it: accounts and groups,
// the three built-in accounts at the head of the list.
class TCompetitors : public TExaminerCollection {
public:
    // Kind 5 with the null id: a group gets its id when the data file is loaded again.
    TCompetitors();

    std::string_view ClassName() const override { return "TCompetitors"; }

    // True while the content is being read; AddCompetitor then takes every account.
    bool Loading() const { return loading_; }
    void SetLoading(bool loading) { loading_ = loading; }

    // Adds the account and returns its index; an account with the null id gets a new one.
    // Outside loading a built-in account raises "Выполнение невозможно", and an account that
    // already has an id is refused with -1 when requireNewId is set. A refused account stays
    // with the caller.
    int AddCompetitor(std::unique_ptr<TCompetitor>&& account, bool requireNewId);

    // Creates any of the three built-in accounts that is missing anywhere in the tree, at its
    // place 0, 1 or 2 of this list (appended when the list is shorter).
    void EnsureBuiltins();

    // The first and the second entry when they are accounts (the built-in administrator and
    // teacher once EnsureBuiltins and Sort have run), else nullptr.
    TCompetitor* Administrator() const;
    TCompetitor* Teacher() const;
    // The built-in applicant account anywhere in the tree, or nullptr.
    TCompetitor* Applicant() const;

    // All accounts of the tree by name as lists show them (digits read as numbers), the
    // built-in ones first. A view: it owns nothing.
    std::vector<TCompetitor*> SortedAccounts() const;

    // Accounts before groups, each by name; the groups directly under this list are sorted
    // the same way; then the built-in accounts of this list go to the places 0, 1 and 2.
    void Sort();

    // The accounts of SortedAccounts, each with the name lists show it by: the display name,
    // or for namesakes NameWithPlace, with the full name where the place does not tell them
    // apart either; namesakes in the order of those names.
    std::vector<ListedAccount> ListedAccounts() const;

    // The login entries of the accounts of ListedAccounts, after EnsureBuiltins.
    TAuthorizations BuildAuthorizations();

    // Whether the account exists and the text is its password (TCompetitor::CheckPassword).
    bool CheckPassword(const Guid& userId, const QString& text) const;

    // The user exchange file: the whole list, passwords enciphered.
    void SaveToFile(const QString& fileName);
    // Replaces every entry but the first (the built-in administrator account, which keeps its
    // password) with the accounts and groups of the file, then sorts the list. A file that
    // cannot be read whole leaves the list exactly as it was. Accounts referred to from
    // outside the list may be freed: the root object's ImportUsers links again what refers
    // to them.
    void LoadFromFile(const QString& fileName);
    // The replacement step of LoadFromFile: every entry but the first gives way to the entries
    // of the imported list, which is left empty.
    void TakeImported(TCompetitors& imported);

    // Reading sets Loading for its own duration, so that a group read as part of a record
    // is loading while it reads.
    void LoadFromStream(ByteStream& stream, const ReadContext& context) override;

protected:
    bool Accepts(const TExaminerElement& element) const override;
    bool AcceptsCollection(const TExaminerCollection& collection) const override;
    // The format lets any element into a users group, but nothing of this program belongs
    // there besides accounts and groups of users: a stored entry of another class is read
    // past and dropped, so that the file still loads and no code meets it as an account.
    bool DropsForeignEntries() const override { return true; }

private:
    TCompetitor* findAccount(const Guid& id) const;

    bool loading_ = false;
};

// A users group read from stored data; its accounts count on their own.
inline constexpr EntryCost kUsersGroupEntryCost{TExaminerCollection::kMinRecordBytes,
                                                OwnedObjectBytes(sizeof(TCompetitors))};

// The place of a built-in account at the head of the users list (0 administrator, 1 teacher,
// 2 applicant); -1 for any other id.
int BuiltinAccountPlace(const Guid& id);

// The account's name with where it is beside it, as far as it is in a group or has a town,
// and with its first name and patronymic written out when asked: "Петров П.П. (9 Б, Москва)",
// "Петров П.П. (9 Б, Москва, Пётр Павлович)".
std::string NameWithPlace(const TCompetitor& account, bool withFullName);

// Makes the collection reader create a TCompetitor for an account entry and a TCompetitors
// for a users group. The root object installs them; so do tests of the reader.
void installUsersFactories();

}  // namespace kvalor
