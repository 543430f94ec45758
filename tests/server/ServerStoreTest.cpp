#include <gtest/gtest.h>

#include <poll.h>
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
#include "server/ServerListener.h"
#include "support/ServerCluster.h"

using namespace kvalor;

namespace {

class ServerStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (ServerCluster::Shared() == nullptr) {
            GTEST_SKIP() << "PostgreSQL is not installed and KVALOR_REQUIRE_SERVER is unset";
        }
    }
    static ServerCluster& cluster() { return *ServerCluster::Shared(); }

    // A database holding the starter data.
    static ServerAddress starterStore(const QString& name, TKvalor& starter) {
        const ServerAddress where = cluster().FreshStore(name);
        BuildStarterData(starter);
        TServerStore(where).Push(starter, false);
        return where;
    }
};

// kvalor-tool's exit code and output.
std::pair<int, QString> tool(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(KVALOR_BINARY_DIR "/tools/kvalor-tool", arguments);
    process.waitForFinished(300000);
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
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

TStudy& addStudy(TKvalor& data, double date) {
    auto& user = dynamic_cast<TCompetitor&>(*data.Users().FindItem(ApplicantAccountId()));
    auto& test = dynamic_cast<TQuestions&>(*data.SimpleTests().Items(0));
    return data.Studies().StudyAt(
        data.Studies().Append(TStudyList::NewStudy(kModeTesting, user, test, date)));
}

TEST_F(ServerStoreTest, PushAndPullGiveBackTheSameFile) {
    const std::function<void(TKvalor&)> builds[] = {
        BuildStarterData,
        [](TKvalor& data) { BuildSchoolData(data, SchoolShape::atScale(0.005)); }};
    QTemporaryDir dir;
    const QString original = dir.filePath("original.exd"), pulled = dir.filePath("pulled.exd");
    const QString uri = cluster().Uri("roundtrip");
    for (const auto& build : builds) {
        TKvalor data;
        build(data);
        data.SaveToFile(original);
        cluster().FreshDatabase("roundtrip");
        EXPECT_EQ(tool({"server-init", uri}).first, 0);
        EXPECT_EQ(tool({"push", original, uri}).first, 0);
        EXPECT_TRUE(tool({"push", original, uri}).second.contains("--replace"));
        EXPECT_EQ(tool({"push", original, uri, "--replace"}).first, 0);
        EXPECT_EQ(tool({"pull", uri, pulled}).first, 0);
        EXPECT_EQ(tool({"dump", original}), tool({"dump", pulled}));
    }
}

// The second seat to save a list is refused and sees the first's after reloading; a result
// sent again is stored once, and deleting it from a journal deletes its row.
TEST_F(ServerStoreTest, TwoSeatsShareListsAndResults) {
    TKvalor first, second;
    const ServerAddress where = starterStore("seats", first);
    const int stored = first.Studies().Count();
    TServerStore firstSeat(where), secondSeat(where);
    firstSeat.Load(first, true);
    secondSeat.Load(second, true);
    first.SimpleTests().Items(0)->SetName("first");
    const TStudy& study = addStudy(first, 46000.5);
    firstSeat.WriteStudy(study);
    firstSeat.WriteStudy(study);
    TServerStore(where).WriteStudy(study);
    firstSeat.Save(first);
    EXPECT_EQ(firstSeat.ReadStatus().studies, stored + 1);
    second.SimpleTests().Items(0)->SetName("second");
    second.Users().FindItem(ApplicantAccountId())->SetName("applicant");
    const QString conflict = caught([&] { secondSeat.Save(second); });
    EXPECT_TRUE(conflict.startsWith(
        QString::fromUtf8("Данные изменены на другом компьютере (простые тесты)")));
    secondSeat.Load(second, true);
    EXPECT_EQ(second.SimpleTests().Items(0)->GetName(), "first");
    EXPECT_EQ(second.Studies().Count(), stored + 1);
    // A list that only this seat changed is written, and so is the deletion.
    second.Users().FindItem(ApplicantAccountId())->SetName("applicant");
    second.Studies().Delete(second.Studies().Count() - 1);
    secondSeat.Save(second);
    firstSeat.Load(first, true);
    EXPECT_EQ(first.Users().FindItem(ApplicantAccountId())->GetName(), "applicant");
    EXPECT_EQ(first.Studies().Count(), stored);
}

TEST_F(ServerStoreTest, FaultsGiveClearMessagesAndKeepWhatIsStored) {
    const auto connect = [](const QString& uri) {
        return caught([&] { TServerStore{ServerAddress{uri, {}}}; });
    };
    const std::pair<std::function<QString()>, const char*> cases[] = {
        {[&] {
             const ServerAddress where = cluster().FreshStore("stopped");
             cluster().Stop();
             const QString message = caught([&] { TServerStore{where}; });
             cluster().Start();
             return message;
         },
         "недоступен"},
        {[&] { return connect(cluster().Uri("postgres", ServerCluster::PasswordUser(), "wrong")); },
         "не принял имя пользователя «kvalor_secret» или пароль"},
        {[&] { return connect(cluster().Uri("absent")); }, "нет базы данных «absent»"},
        {[&] {
             cluster().FreshStore("newer");
             cluster().Run("newer", "UPDATE kvalor_schema SET version = 2");
             return connect(cluster().Uri("newer"));
         },
         "более новой версией"},
        {[&] {
             const ServerAddress other = cluster().FreshDatabase("other");
             cluster().Run("other", "CREATE TABLE pupils (name text)");
             return caught([&] { TServerStore::InitSchema(other); });
         },
         "таблицы другой программы"},
        {[&] {
             const ServerAddress where = cluster().FreshStore("damaged");
             cluster().Run(
                 "damaged",
                 "UPDATE kvalor_lists SET data = '\\x7fffffff' WHERE name = 'Competitors'");
             return caught([&] { firstTestName(where); });
         },
         "повреждены (пользователи)"},
        {[&] {
             TKvalor data;
             const ServerAddress where = starterStore("midway", data);
             TServerStore seat(where);
             seat.Load(data, true);
             data.SimpleTests().Items(0)->SetName("lost");
             addStudy(data, 46001.0);
             // The save waits for the journal's table inside its transaction, lists written.
             ServerConnection blocker(where);
             blocker.Exec("BEGIN");
             blocker.Exec("LOCK TABLE kvalor_studies IN ACCESS EXCLUSIVE MODE");
             QString message;
             std::thread saving([&] { message = caught([&] { seat.Save(data); }); });
             while (blocker
                        .Exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                              "wait_event_type = 'Lock' AND datname = 'midway'")
                        .rows() == 0) {
                 std::this_thread::sleep_for(std::chrono::milliseconds(20));
             }
             saving.join();
             blocker.Exec("ROLLBACK");
             EXPECT_NE(firstTestName(where), "lost");
             EXPECT_EQ(TServerStore(where).ReadStatus().studies, data.Studies().Count() - 1);
             // Back on the server, the seat saves it all: nothing counted as written.
             seat.Save(data);
             EXPECT_EQ(firstTestName(where), "lost");
             EXPECT_EQ(TServerStore(where).ReadStatus().studies, data.Studies().Count());
             return message;
         },
         "во время сохранения: ничего не записано"},
    };
    for (const auto& [fault, message] : cases) {
        EXPECT_TRUE(fault().contains(QString::fromUtf8(message))) << message;
    }
}

// The notices that reach a listener within a few seconds, until one arrives.
std::vector<ServerNotice> awaitNotices(ServerListener& listener) {
    pollfd socket{listener.Socket(), POLLIN, 0};
    for (int waited = 0; waited < 5000; waited += 50) {
        if (auto notices = listener.TakeNotices(); !notices.empty()) {
            return notices;
        }
        poll(&socket, 1, 50);
    }
    return {};
}

// Other seats' writes are heard and read exactly once, in order, even the write of a seat whose
// transaction took its seq before another's and committed after it; own and resent studies are
// not read back, and a list written elsewhere is told apart from one this seat wrote.
TEST_F(ServerStoreTest, SeatsHearAndReadWhatOthersWrite) {
    TKvalor data, teacherData;
    const ServerAddress where = starterStore("live", data);
    TServerStore seat(where), teacher(where);
    seat.Load(data, true);
    teacher.Load(teacherData, true);
    ServerListener listener(where);
    std::int64_t seq = teacher.LastStudySeq(), seatSeq = seat.LastStudySeq();
    const TStudy& first = addStudy(data, 46000.25);
    const TStudy& late = addStudy(data, 46000.5);
    const TStudy& second = addStudy(data, 46000.75);
    // The late seat's row takes its seq first and commits last.
    ServerConnection lateSeat(where);
    ByteStream record;
    late.SaveToStream(record);
    lateSeat.Exec("BEGIN");
    lateSeat.Exec(
        "INSERT INTO kvalor_studies (study_key, account_id, test_id, finished, record) VALUES "
        "('late', gen_random_uuid(), gen_random_uuid(), now(), $1)",
        {{record.data(), true}});
    lateSeat.Exec("SELECT pg_notify('kvalor_studies', 'late')");
    const std::function<void()> steps[] = {
        [&] { seat.WriteStudy(first); },
        [&] {
            seat.WriteStudy(first);  // resent: silent, so the next notice is the second study's
            seat.WriteStudy(second);
        },
        [&] { lateSeat.Exec("COMMIT"); },
    };
    const double expected[] = {46000.25, 46000.75, 46000.5};
    for (int step = 0; step < 3; ++step) {
        steps[step]();
        const std::vector<ServerNotice> notices = awaitNotices(listener);
        ASSERT_EQ(notices.size(), 1u) << step;
        EXPECT_EQ(notices[0].channel, kStudiesChannel);
        if (step < 2) {
            EXPECT_EQ(notices[0].payload, std::to_string(seat.LastStudySeq()));
        }
        const auto read = teacher.ReadStudiesAfter(seq);
        ASSERT_EQ(read.size(), 1u) << step;
        EXPECT_EQ(read[0]->Date(), expected[step]);
        EXPECT_TRUE(teacher.KnowsStudy(*read[0]));
    }
    EXPECT_EQ(seq, seat.LastStudySeq());
    const auto seatRead = seat.ReadStudiesAfter(seatSeq);
    ASSERT_EQ(seatRead.size(), 1u);
    EXPECT_EQ(seatRead[0]->Date(), 46000.5);
    data.Users().FindItem(ApplicantAccountId())->SetName("renamed");
    seat.Save(data);
    const std::vector<ServerNotice> notices = awaitNotices(listener);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].channel, kListsChannel);
    EXPECT_EQ(seat.ChangedList(notices[0].payload), std::nullopt);
    EXPECT_EQ(teacher.ChangedList(notices[0].payload), QString::fromUtf8("пользователи"));
}

}  // namespace
