#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "SampleData.h"
#include "StorageTestSupport.h"
#include "StoredRecords.h"
#include "cipher/KVTEACrypt.h"
#include "model/CollectionHelpers.h"
#include "storage/CompoundFile.h"
#include "storage/Packing.h"

using namespace kvalor;
using namespace storagetest;

namespace {

const Guid kAccount = Guid::fromLiteral("{AC000000-0000-4000-8000-0000000000A1}");

// The entries of the list by identity, to show that a failed import touched nothing.
std::vector<const IExaminerItem*> entriesOf(const TCompetitors& list) {
    std::vector<const IExaminerItem*> entries;
    for (int i = 0; i < list.Count(); ++i) {
        entries.push_back(list.Items(i));
    }
    return entries;
}

// The users part of describe().
std::string describeUsers(const TCompetitors& users) {
    std::ostringstream out;
    describeItems(out, users, "");
    return out.str();
}

class UsersFileTest : public StorageTest {};

}  // namespace

TEST_F(UsersFileTest, ImportTakesTheFileButKeepsTheOwnAdministrator) {
    TKvalor source;
    fillSample(source);
    addAccount(source.Users(), "Яковлев", "яблоко");
    source.Users().Sort();
    const std::string exported = describeUsers(source.Users());
    const QString file = qpath("users.exd");
    source.Users().SaveToFile(file);

    // Another installation: its own administrator password, other accounts.
    TKvalor target;
    target.Users().EnsureBuiltins();
    TCompetitor* ownAdministrator = target.Users().Administrator();
    ownAdministrator->SetPassword(cp("свой"));
    addAccount(target.Users(), "Абрамов", "");
    target.Users().Sort();
    target.ImportUsers(file);

    EXPECT_EQ(target.Users().Administrator(), ownAdministrator);
    EXPECT_EQ(ownAdministrator->Password(), cp("свой"));
    // Everything else is the file's, in the file's order, passwords included.
    std::string expected = exported;
    const std::string sourcePassword = "pw'" + cp("Ёлка-1") + "'";
    expected.replace(expected.find(sourcePassword), sourcePassword.size(),
                     "pw'" + cp("свой") + "'");
    EXPECT_EQ(describeUsers(target.Users()), expected);
    EXPECT_EQ(target.Users().Teacher()->Id(), TeacherAccountId());
}

TEST_F(UsersFileTest, FileLayoutAndFilesWithoutAccounts) {
    TCompetitors users;
    users.EnsureBuiltins();
    const QString file = qpath("users.exd");
    users.SaveToFile(file);
    {
        const CompoundFileReader reader(file);
        EXPECT_EQ(reader.root().stream("Version").readAll(), "\x03");
        EXPECT_FALSE(reader.root().findStorage("SimpleTests").has_value());
        const std::string data = reader.root().storage("Competitors").stream("Data").readAll();
        EXPECT_EQ(data.substr(0, 2), "\x78\xDA");
    }
    if (const std::optional<std::string> listing = runOlefileList("hex", file.toStdString())) {
        std::istringstream lines(*listing);
        std::vector<std::string> heads;
        for (std::string kind, name, rest; lines >> kind >> name && std::getline(lines, rest);) {
            heads.push_back(kind + " " + name + (kind == "Z" ? rest.substr(0, 11) : ""));
        }
        // Three accounts, the first entry an account (tag 0).
        EXPECT_EQ(heads, (std::vector<std::string>{"D Competitors", "S Competitors/Data",
                                                   "Z Competitors/Data 0300000000", "S Version"}))
            << *listing;
        EXPECT_NE(listing->find("S Version 03\n"), std::string::npos);
    }

    // A file of version 1 (unpacked) with no accounts leaves only the own administrator.
    writeCompoundFile(path("empty.exd"),
                      {{"Version", "\x01"}, {"Competitors/Data", listStream({})}});
    TKvalor root;
    fillSample(root);
    TCompetitor* administrator = root.Users().Administrator();
    root.ImportUsers(qpath("empty.exd"));
    ASSERT_EQ(root.Users().Count(), 1);
    EXPECT_EQ(root.Users().Items(0), administrator);

    // A group stored with the null id gets one; the file's administrator entry is ignored.
    THash password = cp("чужой");
    TKVTEAEncrypt().encipher(password);
    writeCompoundFile(
        path("group.exd"),
        {{"Competitors/Data",
          listStream(
              {std::string(1, '\0') + accountRecord(AdministratorAccountId(), "A", password, 1),
               std::string(1, '\1') +
                   usersGroupRecord(Guid(), "G", {accountRecord(kAccount, "P", "")})})}});
    root.ImportUsers(qpath("group.exd"));
    ASSERT_EQ(root.Users().Count(), 2);
    EXPECT_EQ(root.Users().Items(0), administrator);
    EXPECT_EQ(administrator->Password(), cp("Ёлка-1"));
    const TExaminerCollection* group = root.Users().CollectionAt(1);
    ASSERT_NE(group, nullptr);
    EXPECT_FALSE(group->Id().isNull());
    EXPECT_NE(root.Users().FindItem(kAccount), nullptr);
}

TEST_F(UsersFileTest, FailedImportLeavesTheListExactlyAsItWas) {
    TKvalor source;
    fillSample(source);
    const std::string file = path("users.exd");
    source.Users().SaveToFile(QString::fromStdString(file));
    std::string data;
    {
        const CompoundFileReader reader(QString::fromStdString(file));
        ByteStream stream(reader.root().storage("Competitors").stream("Data").readAll());
        UnpackStream(stream, 3);
        data = stream.data();
    }

    TKvalor root;
    const Sample s = fillSample(root);
    root.SetCurrentUser(s.petrova);
    const std::vector<const IExaminerItem*> before = entriesOf(root.Users());
    const std::string content = describe(root);
    const auto refused = [&](const std::string& name) {
        SCOPED_TRACE(name);
        const std::optional<std::string> error =
            errorText([&] { root.ImportUsers(QString::fromStdString(path(name))); });
        EXPECT_EQ(entriesOf(root.Users()), before);
        EXPECT_EQ(describe(root), content);
        EXPECT_EQ(root.CurrentUser(), s.petrova);
        return error.value_or("");
    };

    // Cut inside the entries, after the administrator had been read.
    for (std::size_t length : {data.size() / 2, data.size() - 1}) {
        writeCompoundFile(
            path("cut.exd"),
            {{"Version", "\x03"}, {"Competitors/Data", zlibCompress(data.substr(0, length))}});
        EXPECT_EQ(refused("cut.exd"), "Ошибка чтения потока: данные повреждены или неполны");
    }
    EXPECT_EQ(refused("none.exd"), "Файл " + path("none.exd") + " не найден");
    writeBytes(path("text.exd"), "no compound file");
    EXPECT_EQ(refused("text.exd"), "Ошибка чтения $800300FB");
    writeCompoundFile(path("other.exd"), {{"Version", "\x03"}, {"Studies/Data", ""}});
    EXPECT_EQ(refused("other.exd"), "Ошибка чтения Competitors");
    {
        ForeignReader other(file);
        ASSERT_TRUE(other.holding());
        EXPECT_EQ(refused("users.exd"), "Ошибка чтения $80030020");
        EXPECT_EQ(errorText([&] { root.Users().SaveToFile(QString::fromStdString(file)); }),
                  "Ошибка записи $80030020");
    }
}

TEST_F(UsersFileTest, ImportLinksStudiesAndTheCurrentUserAgain) {
    TKvalor root;
    const Sample s = fillSample(root);
    const Guid ivanovId = s.ivanov->Id();
    const QString withIvanov = qpath("with.exd");
    root.Users().SaveToFile(withIvanov);

    // The accounts are new objects afterwards: the studies and the current user follow them.
    root.SetCurrentUser(s.ivanov);
    root.ImportUsers(withIvanov);
    auto* ivanov = dynamic_cast<TCompetitor*>(root.Users().FindItem(ivanovId));
    ASSERT_NE(ivanov, nullptr);
    EXPECT_EQ(root.CurrentUser(), ivanov);
    int linked = 0;
    for (int i = 0; i < root.Studies().Count(); ++i) {
        const TStudy& study = root.Studies().StudyAt(i);
        ASSERT_NE(study.User(), nullptr);
        EXPECT_EQ(study.User()->Id(), study.UserId());
        EXPECT_FALSE(study.User()->GetName().empty());
        linked += study.User() == ivanov;
    }
    EXPECT_EQ(linked, 1);

    // A file without the account and without the built-in teacher: studies of vanished
    // accounts keep none; a current teacher is recreated.
    TCompetitors others;
    others.EnsureBuiltins();
    others.Extract(*others.Teacher());
    const QString without = qpath("without.exd");
    others.SaveToFile(without);
    root.SetCurrentUser(root.Users().Teacher());
    root.ImportUsers(without);
    ASSERT_NE(root.CurrentUser(), nullptr);
    EXPECT_EQ(root.CurrentUser()->Id(), TeacherAccountId());
    EXPECT_EQ(root.CurrentUser(), root.Users().Teacher());
    for (int i = 0; i < root.Studies().Count(); ++i) {
        EXPECT_EQ(root.Studies().StudyAt(i).User(), nullptr);
    }
    // Any other current account that is gone leaves none.
    root.ImportUsers(withIvanov);
    root.SetCurrentUser(dynamic_cast<TCompetitor*>(root.Users().FindItem(ivanovId)));
    root.ImportUsers(without);
    EXPECT_EQ(root.CurrentUser(), nullptr);
}

TEST_F(UsersFileTest, ImportAsksBeforeResultsLoseTheirAccount) {
    TKvalor root;
    const Sample s = fillSample(root);
    const QString withAll = qpath("with.exd");
    root.Users().SaveToFile(withAll);
    TCompetitors builtinsOnly;
    builtinsOnly.EnsureBuiltins();
    const QString without = qpath("without.exd");
    builtinsOnly.SaveToFile(without);

    // Both studies belong to accounts the file lacks: asked first, declined, nothing changes.
    std::vector<int> asked;
    const auto entries = entriesOf(root.Users());
    const UsersImportReport declined =
        root.ImportUsers(without, [&asked](const UsersImportReport& report) {
            asked.push_back(report.orphanedStudies);
            return false;
        });
    EXPECT_EQ(asked, std::vector<int>{2});
    EXPECT_FALSE(declined.imported);
    EXPECT_EQ(declined.orphanedStudies, 2);
    EXPECT_EQ(UsersImportQuestion(declined).toStdString(),
              "В импортируемом списке нет пользователей, к которым относятся результаты тестов: "
              "2. Эти результаты будут удалены при следующем запуске программы.\n"
              "Продолжить импорт?");
    EXPECT_EQ(entriesOf(root.Users()), entries);
    const auto studiesOf = [&root](const TCompetitor* user) {
        int count = 0;
        for (int i = 0; i < root.Studies().Count(); ++i) {
            count += root.Studies().StudyAt(i).User() == user;
        }
        return count;
    };
    EXPECT_EQ(studiesOf(s.ivanov), 1);

    // A file that keeps every account asks nothing.
    const Guid ivanovId = s.ivanov->Id();
    const UsersImportReport kept = root.ImportUsers(withAll, [&asked](const UsersImportReport&) {
        asked.push_back(-1);
        return false;
    });
    EXPECT_TRUE(kept.imported);
    EXPECT_EQ(kept.orphanedStudies, 0);
    EXPECT_EQ(asked.size(), 1u);

    // Agreed to, the import goes on and the studies keep no account.
    const UsersImportReport agreed =
        root.ImportUsers(without, [](const UsersImportReport&) { return true; });
    EXPECT_TRUE(agreed.imported);
    EXPECT_EQ(agreed.orphanedStudies, 2);
    EXPECT_EQ(root.Users().FindItem(ivanovId), nullptr);
    EXPECT_EQ(studiesOf(nullptr), 2);
}

TEST_F(UsersFileTest, ADeepChainInAGroupFailsTheImportCleanly) {
    // A users group holding a question whose answers list holds a question, and so on for
    // 30,000 levels: 13 KB packed, it overflowed the stack of "Импорт из файла".
    RecordBytes group;
    group.collection(Guid(), kAccount, 0, kUsersGroupKind, 0, "g", 1).u8(kQuestionKind);
    for (int level = 0; level < 30000; ++level) {
        group.element(QuestionTypeId(), kAccount, 1, kQuestionKind, 0, "").u8(kSingleAnswer);
        group.collection(AnswersTypeId(), kAccount, 0, kAnswersKind, 0, "", 1).u8(kAnswerKind);
    }
    const std::string file = path("chain.exd");
    writeCompoundFile(file, {{"Version", "\x03"},
                             {"Competitors/Data",
                              zlibCompress(listStream({std::string(1, '\x01') + group.data()}))}});
    TKvalor root;
    fillSample(root);
    const auto entries = entriesOf(root.Users());
    EXPECT_EQ(errorText([&] { root.ImportUsers(QString::fromStdString(file)); }),
              "Несовместимые типы объекта и контейнера");
    EXPECT_EQ(entriesOf(root.Users()), entries);
}
