#include <gtest/gtest.h>

#include <QString>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "RecordBytes.h"
#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/ItemFactories.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

const Guid kId = Guid::fromLiteral("{11111111-2222-3333-4444-555555555555}");

std::string cp(const char* utf8) {
    return toCp1251(QString::fromUtf8(utf8));
}

TCompetitor* addAccount(TCompetitors& list, const std::string& name,
                        const std::string& password = {}) {
    auto account = std::make_unique<TCompetitor>();
    auto* raw = account.get();
    account->SetName(name);
    account->SetPassword(password);
    EXPECT_GE(list.AddCompetitor(std::move(account), true), 0);
    return raw;
}

TCompetitors* addGroup(TCompetitors& list, const std::string& name) {
    auto group = std::make_unique<TCompetitors>();
    auto* raw = group.get();
    group->SetName(name);
    group->NewId();
    list.AddCollection(std::move(group));
    return raw;
}

std::vector<std::string> names(const std::vector<TCompetitor*>& accounts) {
    std::vector<std::string> result;
    for (const auto* account : accounts) {
        result.push_back(account->GetName());
    }
    return result;
}

std::vector<std::string> entryNames(const TExaminerCollection& list) {
    std::vector<std::string> result;
    for (int i = 0; i < list.Count(); ++i) {
        result.push_back(list.Items(i)->GetName());
    }
    return result;
}

const std::string kAdministrator = cp("Администратор");
const std::string kTeacher = cp("Преподаватель");
const std::string kApplicant = cp("Соискатель");

// The collection reader creates the account classes for the tests of one fixture and goes
// back to its defaults afterwards, which the other reader tests expect.
class UsersReader : public ::testing::Test {
protected:
    void SetUp() override { installUsersFactories(); }
    void TearDown() override {
        setAccountElementFactory({});
        setUsersGroupFactory({});
    }
};

}  // namespace

TEST(Competitors, AddCompetitorGivesNewIdsAndRefusesWhatMustNotBeAdded) {
    TCompetitors list;
    EXPECT_TRUE(list.Id().isNull());
    EXPECT_EQ(list.GetKind(), kUsersGroupKind);

    auto fresh = std::make_unique<TCompetitor>();
    auto* freshRaw = fresh.get();
    EXPECT_EQ(list.AddCompetitor(std::move(fresh), true), 0);
    EXPECT_FALSE(freshRaw->Id().isNull());
    EXPECT_EQ(freshRaw->Parent(), &list);

    // An account that already has an id is refused silently when a new one is required.
    auto existing = std::make_unique<TCompetitor>(kId);
    EXPECT_EQ(list.AddCompetitor(std::move(existing), true), -1);
    ASSERT_TRUE(existing != nullptr);
    EXPECT_EQ(list.Count(), 1);
    // ... and taken with its id when moved from another group.
    EXPECT_EQ(list.AddCompetitor(std::move(existing), false), 1);
    EXPECT_TRUE(existing == nullptr);
    EXPECT_EQ(list.ElementAt(1)->Id(), kId);

    // Built-in accounts are never added by hand, whichever way.
    for (const bool requireNewId : {true, false}) {
        auto builtin = std::make_unique<TCompetitor>(TeacherAccountId());
        try {
            list.AddCompetitor(std::move(builtin), requireNewId);
            ADD_FAILURE() << "a built-in account was added";
        } catch (const KvalorError& error) {
            EXPECT_EQ(error.message(), QString::fromUtf8("Выполнение невозможно"));
        }
        EXPECT_TRUE(builtin != nullptr);
    }
    EXPECT_EQ(list.Count(), 2);

    // While loading everything is taken.
    list.SetLoading(true);
    EXPECT_EQ(list.AddCompetitor(std::make_unique<TCompetitor>(TeacherAccountId()), true), 2);
    EXPECT_EQ(list.AddCompetitor(std::make_unique<TCompetitor>(), true), 3);
    EXPECT_FALSE(list.ElementAt(3)->Id().isNull());
}

TEST(Competitors, EnsureBuiltinsCreatesTheMissingAccountsAtTheirPlacesOnce) {
    TCompetitors list;
    list.EnsureBuiltins();
    ASSERT_EQ(list.Count(), 3);
    const TCompetitor* accounts[] = {list.Administrator(), list.Teacher(), list.Applicant()};
    const std::tuple<Guid, std::uint8_t, std::string> expected[] = {
        {AdministratorAccountId(), kRoleAdministrator, kAdministrator},
        {TeacherAccountId(), kRoleTeacher, kTeacher},
        {ApplicantAccountId(), kRoleApplicant, kApplicant}};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(list.ElementAt(i), accounts[i]) << i;
        EXPECT_EQ(std::tuple(accounts[i]->Id(), accounts[i]->Role(), accounts[i]->GetName()),
                  expected[i]);
        EXPECT_EQ(accounts[i]->GetField(1), std::get<2>(expected[i]));
        EXPECT_TRUE(accounts[i]->HasNoPassword());
    }

    list.Administrator()->SetPassword("kept");
    list.EnsureBuiltins();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Administrator(), accounts[0]);
    EXPECT_EQ(list.Administrator()->Password(), "kept");

    // An account found anywhere counts; the missing ones go to their places or the end.
    TCompetitors other;
    auto* group = addGroup(other, "g");
    group->SetLoading(true);
    auto teacher = std::make_unique<TCompetitor>(TeacherAccountId());
    auto* teacherRaw = teacher.get();
    group->AddCompetitor(std::move(teacher), false);
    group->SetLoading(false);
    other.EnsureBuiltins();
    ASSERT_EQ(other.Count(), 3);
    EXPECT_EQ(other.ElementAt(0)->Id(), AdministratorAccountId());
    EXPECT_EQ(other.CollectionAt(1), group);
    EXPECT_EQ(other.ElementAt(2)->Id(), ApplicantAccountId());
    EXPECT_EQ(teacherRaw->Parent(), group);
    // The second entry is a group, so there is no teacher at its place.
    EXPECT_EQ(other.Teacher(), nullptr);
}

TEST(Competitors, SortPutsBuiltinsFirstThenAccountsThenGroupsByName) {
    TCompetitors list;
    addGroup(list, cp("Б"));
    addAccount(list, cp("Яков"));
    list.EnsureBuiltins();
    list.MoveEntry(0, list.Count() - 1);
    list.MoveEntry(0, 2);
    list.Sort();
    EXPECT_EQ(entryNames(list), (std::vector<std::string>{kAdministrator, kTeacher, kApplicant,
                                                          cp("Яков"), cp("Б")}));

    // Names compare alphabetically and without regard to case, also inside the groups, but
    // only one level down.
    TCompetitors users;
    auto* group = addGroup(users, cp("в"));
    addAccount(*group, cp("Ольга"));
    addAccount(*group, cp("анна"));
    auto* nested = addGroup(*group, "n");
    addAccount(*nested, "b");
    addAccount(*nested, "a");
    addGroup(users, cp("Б"));
    addGroup(users, cp("а"));
    addAccount(users, cp("Вера"));
    addAccount(users, cp("борис"));
    addAccount(users, cp("Анна"));
    users.Sort();
    EXPECT_EQ(entryNames(users), (std::vector<std::string>{cp("Анна"), cp("борис"), cp("Вера"),
                                                           cp("а"), cp("Б"), cp("в")}));
    EXPECT_EQ(entryNames(*group), (std::vector<std::string>{cp("анна"), cp("Ольга"), "n"}));
    EXPECT_EQ(entryNames(*nested), (std::vector<std::string>{"b", "a"}));
}

TEST(Competitors, SortPlacesRenamedBuiltinsWhateverTheirNames) {
    // Sorted by name the built-ins come teacher, applicant, administrator: a single walk that
    // moves each as it meets it would leave the teacher and the applicant swapped.
    TCompetitors list;
    list.EnsureBuiltins();
    addAccount(list, "Dd");
    list.Teacher()->SetName("Aa");
    list.Applicant()->SetName("Bb");
    list.Administrator()->SetName("Cc");
    list.Sort();
    EXPECT_EQ(entryNames(list), (std::vector<std::string>{"Cc", "Aa", "Bb", "Dd"}));
    EXPECT_EQ(list.Teacher()->Id(), TeacherAccountId());
    EXPECT_EQ(names(list.SortedAccounts()), (std::vector<std::string>{"Cc", "Aa", "Bb", "Dd"}));
}

TEST(Competitors, SortedAccountsListsEveryAccountOfTheTreeBuiltinsFirst) {
    TCompetitors list;
    auto* group = addGroup(list, "group");
    addAccount(*group, cp("Юрий"));
    addAccount(*group, cp("алла"));
    addAccount(list, cp("Борис"));
    list.EnsureBuiltins();
    const auto accounts = list.SortedAccounts();
    EXPECT_EQ(names(accounts), (std::vector<std::string>{kAdministrator, kTeacher, kApplicant,
                                                         cp("алла"), cp("Борис"), cp("Юрий")}));
    // A view: the list still owns and orders its entries.
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(group->ElementAt(0)->GetName(), cp("Юрий"));
}

TEST(Competitors, AuthorizationsCarryTheGroupOfGroupedAccountsOnly) {
    TCompetitors list;
    auto* group = addGroup(list, cp("Группа 1"));
    auto* grouped = addAccount(*group, cp("Петров"));
    auto* single = addAccount(list, cp("Сидоров"));
    const std::string longName(70, '\xFF');  // "яя...", last by name
    auto* longGroup = addGroup(list, std::string(80, 'g'));
    auto* longAccount = addAccount(*longGroup, longName);

    const TAuthorizations entries = list.BuildAuthorizations();
    const auto row = [](const TAuthorization& entry) {
        return std::tuple(entry.UserName, entry.GroupName, entry.UserId, entry.GroupId);
    };
    ASSERT_EQ(entries.size(), 6u);  // the built-ins were ensured
    EXPECT_EQ(row(entries[0]), std::tuple(kAdministrator, "", AdministratorAccountId(), Guid()));
    EXPECT_EQ(row(entries[1]), std::tuple(kTeacher, "", TeacherAccountId(), Guid()));
    EXPECT_EQ(row(entries[2]), std::tuple(kApplicant, "", ApplicantAccountId(), Guid()));
    ASSERT_FALSE(group->Id().isNull());
    EXPECT_EQ(row(entries[3]),
              std::tuple(cp("Петров"), cp("Группа 1"), grouped->Id(), group->Id()));
    EXPECT_EQ(row(entries[4]), std::tuple(cp("Сидоров"), "", single->Id(), Guid()));
    EXPECT_EQ(row(entries[5]), std::tuple(std::string(64, '\xFF'), std::string(64, 'g'),
                                          longAccount->Id(), longGroup->Id()));
}

TEST(Competitors, PasswordsCompareExactlyAndAreKeptInTheCodePage) {
    TCompetitors list;
    auto* group = addGroup(list, "g");
    auto* account = addAccount(*group, "user", cp("Секрет"));
    auto* open = addAccount(list, "open");

    EXPECT_TRUE(list.CheckPassword(account->Id(), "Секрет"));
    EXPECT_FALSE(list.CheckPassword(account->Id(), "секрет"));
    EXPECT_FALSE(list.CheckPassword(account->Id(), {}));
    EXPECT_FALSE(list.CheckPassword(kId, "Секрет"));
    EXPECT_TRUE(list.CheckPassword(open->Id(), {}));
    EXPECT_FALSE(list.CheckPassword(open->Id(), "x"));
    EXPECT_FALSE(list.CheckPassword(Guid(), {}));

    EXPECT_FALSE(account->CheckPassword("СЕКРЕТ"));
    account->ChangePassword("Новый 1 ");
    EXPECT_EQ(account->Password(), cp("Новый 1 "));
    account->ChangePassword({});
    EXPECT_TRUE(account->HasNoPassword());
    open->ChangePassword("set");
    EXPECT_TRUE(list.CheckPassword(open->Id(), "set"));
}

TEST_F(UsersReader, AccountsAndGroupsAreReadAsTheirOwnClasses) {
    RecordBytes bytes;
    bytes.collection(Guid(), Guid(), 0, kUsersGroupKind, 0, "", 2);
    bytes.u8(kAccountKind).element(Guid(), Guid(), 1, kAccountKind, 0, "free");
    bytes.u8(kRoleApplicant).i32(0).i32(0);
    bytes.u8(0x85).collection(Guid(), Guid(), 0, kUsersGroupKind, 1, "group", 1);
    // A built-in account inside a group is read: reading is loading.
    bytes.u8(kAccountKind).element(Guid(), TeacherAccountId(), 1, kAccountKind, 0, "t");
    bytes.u8(kRoleTeacher).str("pw").i32(0);

    // Whatever reads the record, the group becomes a users group.
    TExaminerCollection root(kUsersGroupKind, Guid());
    ByteStream in(bytes.data());
    root.LoadFromStream(in, ReadContext{});
    ASSERT_EQ(root.Count(), 2);
    const auto* free = dynamic_cast<const TCompetitor*>(root.ElementAt(0));
    ASSERT_NE(free, nullptr);
    EXPECT_FALSE(free->Id().isNull());
    EXPECT_EQ(free->Fields().size(), 10u);
    auto* group = dynamic_cast<TCompetitors*>(root.CollectionAt(1));
    ASSERT_NE(group, nullptr);
    EXPECT_FALSE(group->Loading());
    const auto* teacher = dynamic_cast<const TCompetitor*>(group->ElementAt(0));
    ASSERT_NE(teacher, nullptr);
    EXPECT_EQ(teacher->Id(), TeacherAccountId());
    EXPECT_EQ(teacher->Role(), kRoleTeacher);
    EXPECT_EQ(teacher->Password(), "pw");
    // Any other tag keeps the null id it was stored with.
    EXPECT_TRUE(group->Id().isNull());
}

TEST_F(UsersReader, UsersListsHoldOnlyAccountsAndUsersGroups) {
    TCompetitors list;
    EXPECT_THROW(list.AddItem(std::make_unique<TExaminerElement>(kAccountKind)), KvalorError);
    EXPECT_THROW(list.AddCollection(std::make_unique<TQuestions>(kGroupKindSimpleTest)),
                 KvalorError);
    EXPECT_EQ(list.Count(), 0);

    // A question and a test are sound records that a plain collection of kind 5 takes: a
    // users list reads past them, drops them and goes on with the account behind them.
    const auto withAccount = [](RecordBytes bytes) {
        bytes.u8(kAccountKind).element(Guid(), Guid(), 1, kAccountKind, 0, "A").u8(0).i32(0);
        return bytes.i32(0).data();
    };
    RecordBytes question;
    question.collection(Guid(), Guid(), 0, kUsersGroupKind, 0, "", 2);
    question.u8(kQuestionKind).element(QuestionTypeId(), kId, 1, kQuestionKind, 1, "Q");
    question.u8(kSingleAnswer).collection(AnswersTypeId(), Guid(), 0, kAnswersKind, 0, "", 0);
    question.u8(1);
    RecordBytes test;
    test.collection(Guid(), Guid(), 0, kUsersGroupKind, 0, "", 2);
    test.u8(0x84).collection(QuestionsTypeId(), kId, 0, kQuestionsKind, 0, "T", 0);
    test.u8(1).i32(10).f64(50.0).u8(0).f64(0.0).u8(kGroupKindSimpleTest).u8(1).u8(1).u8(1).u8(0);
    for (const std::string& record : {withAccount(question), withAccount(test)}) {
        TExaminerCollection plain(kUsersGroupKind, Guid());
        ByteStream plainIn(record);
        plain.LoadFromStream(plainIn, ReadContext{});
        ASSERT_TRUE(plainIn.atEnd());
        ASSERT_EQ(plain.Count(), 2);

        TCompetitors read;
        ByteStream in(record);
        read.LoadFromStream(in, ReadContext{});
        EXPECT_TRUE(in.atEnd());
        ASSERT_EQ(read.Count(), 1);
        EXPECT_NE(dynamic_cast<TCompetitor*>(read.Items(0)), nullptr);
        EXPECT_EQ(read.FindItem(kId), nullptr);

        ByteStream cut(record.substr(0, record.size() - 1));
        EXPECT_THROW(list.LoadFromStream(cut, ReadContext{}), ReadError);
        // A failed read leaves Loading as it was.
        EXPECT_FALSE(list.Loading());
    }
}

TEST_F(UsersReader, UsersListRoundTripKeepsAccountsPasswordsAndGroups) {
    TCompetitors list;
    list.EnsureBuiltins();
    list.Teacher()->SetPassword(cp("Учитель"));
    auto* group = addGroup(list, cp("Группа"));
    auto* member = addAccount(*group, cp("Петров"), "pw");
    member->SetField(9, cp("Тверь"));
    member->SetRole(kRoleApplicant);

    ByteStream out;
    list.SaveToStream(out);
    TCompetitors read;
    read.SetLoading(true);
    ByteStream in(out.data());
    read.LoadFromStream(in, ReadContext{});
    EXPECT_TRUE(in.atEnd());
    EXPECT_TRUE(read.Loading());

    ASSERT_EQ(read.Count(), 4);
    EXPECT_EQ(read.Teacher()->Password(), cp("Учитель"));
    EXPECT_EQ(read.Administrator()->Id(), AdministratorAccountId());
    auto* readGroup = dynamic_cast<TCompetitors*>(read.CollectionAt(3));
    ASSERT_NE(readGroup, nullptr);
    EXPECT_EQ(readGroup->GetName(), cp("Группа"));
    EXPECT_EQ(readGroup->Id(), group->Id());
    const auto* readMember = dynamic_cast<const TCompetitor*>(read.FindItem(member->Id()));
    ASSERT_NE(readMember, nullptr);
    EXPECT_EQ(readMember->Parent(), readGroup);
    EXPECT_EQ(readMember->Password(), "pw");
    EXPECT_EQ(readMember->GetField(9), cp("Тверь"));
}
