#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <thread>

#include "SchoolData.h"
#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/StarterData.h"
#include "model/StudyList.h"
#include "server/ServerConnection.h"
#include "support/ServerCluster.h"

using namespace kvalor;

namespace {

ServerCluster& cluster() {
    ServerCluster* shared = ServerCluster::Shared();
    if (shared == nullptr) {
        throw std::runtime_error("no PostgreSQL");
    }
    return *shared;
}

#define REQUIRE_SERVER()                                                                  \
    if (ServerCluster::Shared() == nullptr) {                                             \
        GTEST_SKIP() << "PostgreSQL is not installed and KVALOR_REQUIRE_SERVER is unset"; \
    }

// kvalor-tool's exit code and standard output.
std::pair<int, QByteArray> tool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(KVALOR_BINARY_DIR "/tools/kvalor-tool"), arguments);
    process.waitForFinished(300000);
    return {process.exitCode(), process.readAllStandardOutput() + process.readAllStandardError()};
}

QString caught(const std::function<void()>& action) {
    try {
        action();
    } catch (const KvalorError& error) {
        return error.message();
    }
    return {};
}

std::string firstTestName(const ServerAddress& where) {
    TKvalor data;
    TServerStore(where).Load(data, true);
    return data.SimpleTests().Items(0)->GetName();
}

TEST(ServerStore, PushAndPullGiveBackTheSameFile) {
    REQUIRE_SERVER();
    const std::function<void(TKvalor&)> builds[] = {
        BuildStarterData,
        [](TKvalor& data) { BuildSchoolData(data, SchoolShape::atScale(0.005)); }};
    QTemporaryDir dir;
    for (const auto& build : builds) {
        const QString original = dir.filePath("original.exd"), pulled = dir.filePath("pulled.exd");
        TKvalor data;
        build(data);
        data.SaveToFile(original);
        const QString uri = cluster().Uri("roundtrip");
        cluster().FreshDatabase("roundtrip");
        EXPECT_EQ(tool({"server-init", uri}).first, 0);
        EXPECT_EQ(tool({"push", original, uri}).first, 0);
        const auto again = tool({"push", original, uri});
        EXPECT_EQ(again.first, 1);
        EXPECT_TRUE(QString::fromUtf8(again.second).contains("--replace"));
        EXPECT_EQ(tool({"push", original, uri, "--replace"}).first, 0);
        EXPECT_EQ(tool({"pull", uri, pulled}).first, 0);
        const auto dumped = tool({"dump", original});
        EXPECT_EQ(dumped.first, 0);
        EXPECT_EQ(dumped.second, tool({"dump", pulled}).second);
        const auto status = TServerStore(ServerAddress{uri, {}}).ReadStatus();
        EXPECT_EQ(status.studies, data.Studies().Count());
        EXPECT_EQ(status.simpleTests, data.SimpleTests().Count());
    }
}

TEST(ServerStore, TheSecondSeatToSaveIsRefusedAndSeesTheFirstAfterReloading) {
    REQUIRE_SERVER();
    const ServerAddress where = cluster().FreshStore("seats");
    TKvalor starter;
    BuildStarterData(starter);
    TServerStore(where).Push(starter, false);

    TKvalor first, second;
    TServerStore firstSeat(where), secondSeat(where);
    firstSeat.Load(first, true);
    secondSeat.Load(second, true);
    first.SimpleTests().Items(0)->SetName("first");
    firstSeat.Save(first);
    second.SimpleTests().Items(0)->SetName("second");
    second.Users().FindItem(ApplicantAccountId())->SetName("applicant");
    try {
        secondSeat.Save(second);
        ADD_FAILURE() << "the second save went through";
    } catch (const ServerConflict& conflict) {
        EXPECT_TRUE(conflict.message().contains(QString::fromUtf8("простые тесты")));
        EXPECT_FALSE(conflict.message().contains(QString::fromUtf8("пользователи")));
    }
    EXPECT_EQ(firstTestName(where), "first");
    secondSeat.Load(second, true);
    EXPECT_EQ(second.SimpleTests().Items(0)->GetName(), "first");
    // A list only this seat changed is written.
    second.Users().FindItem(ApplicantAccountId())->SetName("applicant");
    secondSeat.Save(second);
    firstSeat.Load(first, true);
    EXPECT_EQ(first.Users().FindItem(ApplicantAccountId())->GetName(), "applicant");
    EXPECT_EQ(first.SimpleTests().Items(0)->GetName(), "first");
}

TEST(ServerStore, AStudyIsStoredOnceAndDeletedByTheJournal) {
    REQUIRE_SERVER();
    const ServerAddress where = cluster().FreshStore("studies");
    TKvalor starter;
    BuildStarterData(starter);
    TServerStore(where).Push(starter, false);

    TKvalor first, second;
    TServerStore firstSeat(where), secondSeat(where);
    firstSeat.Load(first, true);
    auto& applicant = dynamic_cast<TCompetitor&>(*first.Users().FindItem(ApplicantAccountId()));
    auto& test = dynamic_cast<TQuestions&>(*first.SimpleTests().Items(0));
    const int index =
        first.Studies().Append(TStudyList::NewStudy(kModeTesting, applicant, test, 46000.5));
    firstSeat.WriteStudy(first.Studies().StudyAt(index));
    firstSeat.WriteStudy(first.Studies().StudyAt(index));
    TServerStore(where).WriteStudy(first.Studies().StudyAt(index));
    firstSeat.Save(first);
    EXPECT_EQ(firstSeat.ReadStatus().studies, starter.Studies().Count() + 1);
    secondSeat.Load(second, true);
    EXPECT_EQ(second.Studies().Count(), first.Studies().Count());

    second.Studies().Delete(second.Studies().Count() - 1);
    secondSeat.Save(second);
    firstSeat.Load(first, true);
    EXPECT_EQ(first.Studies().Count(), starter.Studies().Count());
}

// Holds the journal's table locked, so that a save waits inside its transaction (its lists
// already written), then ends that save's connection as a server going away would.
void breakSaveMidway(const QString& database, const std::function<void()>& save) {
    ServerConnection blocker(ServerAddress{cluster().Uri(database), {}});
    blocker.Exec("BEGIN");
    blocker.Exec("LOCK TABLE kvalor_studies IN ACCESS EXCLUSIVE MODE");
    std::thread saving(save);
    const std::string waiting =
        "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
        "wait_event_type = 'Lock' AND datname = '" +
        database.toStdString() + "'";
    while (blocker.Exec(waiting.c_str()).rows() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    saving.join();
}

TEST(ServerStore, FaultsGiveClearMessagesAndKeepWhatIsStored) {
    REQUIRE_SERVER();
    struct Case {
        const char* fault;
        std::function<QString()> run;
        const char* message;
    };
    const auto connect = [](const QString& uri) {
        return [uri] { return caught([&] { TServerStore{ServerAddress{uri, {}}}; }); };
    };
    const Case cases[] = {
        {"server stopped",
         [] {
             const ServerAddress where = cluster().FreshStore("stopped");
             cluster().Stop();
             const QString message = caught([&] { TServerStore{where}; });
             cluster().Start();
             return message;
         },
         "недоступен"},
        {"wrong password",
         connect(cluster().Uri("postgres", ServerCluster::PasswordUser(), "wrong")),
         "не принял имя пользователя «kvalor_secret» или пароль"},
        {"missing database", connect(cluster().Uri("absent")), "нет базы данных «absent»"},
        {"newer schema",
         [&] {
             cluster().FreshStore("newer");
             cluster().Run("newer", "UPDATE kvalor_schema SET version = 2");
             return connect(cluster().Uri("newer"))();
         },
         "более новой версией"},
        {"another program",
         [&] {
             const ServerAddress other = cluster().FreshDatabase("other");
             cluster().Run("other", "CREATE TABLE pupils (name text)");
             return caught([&] { TServerStore::InitSchema(other); });
         },
         "таблицы другой программы"},
        {"stopped during a save",
         [] {
             const ServerAddress where = cluster().FreshStore("midway");
             TKvalor data;
             BuildStarterData(data);
             TServerStore seat(where);
             seat.Push(data, false);
             data.SimpleTests().Items(0)->SetName("lost");
             auto& user = dynamic_cast<TCompetitor&>(*data.Users().FindItem(ApplicantAccountId()));
             auto& test = dynamic_cast<TQuestions&>(*data.SimpleTests().Items(0));
             data.Studies().Append(TStudyList::NewStudy(kModeTesting, user, test, 46001.0));
             QString message;
             breakSaveMidway("midway", [&] { message = caught([&] { seat.Save(data); }); });
             EXPECT_NE(firstTestName(where), "lost");
             EXPECT_EQ(TServerStore(where).ReadStatus().studies, data.Studies().Count() - 1);
             // The seat goes on once the server is back: nothing counted as written.
             seat.Save(data);
             EXPECT_EQ(firstTestName(where), "lost");
             return message;
         },
         "во время сохранения: ничего не записано"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.run().contains(QString::fromUtf8(c.message))) << c.fault;
    }
}

}  // namespace
