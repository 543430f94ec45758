// The program in the network mode against a throwaway server: two seats share one store.

#include <gtest/gtest.h>
#include <QAction>
#include <QFile>

#include "AppTest.h"
#include "app/MainWindow.h"
#include "app/NetworkSettings.h"
#include "model/Questions.h"
#include "model/StarterData.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "support/ScriptedPrompts.h"
#include "support/ServerCluster.h"
#include "ui/ErrorGuard.h"

namespace kvalor::apptest {
namespace {

class NetworkModeTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        cluster_ = ServerCluster::Shared();
        if (!cluster_) {
            GTEST_SKIP() << "PostgreSQL is not installed and KVALOR_REQUIRE_SERVER is unset";
        }
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        where_ = cluster_->FreshStore(QString::fromLatin1(test->name()).toLower());
        TKvalor starter;
        BuildStarterData(starter);
        TServerStore(where_).Push(starter, false);
        // The settings file of this seat points at the server.
        WriteNetworkSettings(folderFile(kSettingsFileName), {true, where_.address, where_.port});
    }
    void TearDown() override {
        dataModule().DataModuleDestroy();
        AppTest::TearDown();
    }

    // What another seat loads from the server now.
    TKvalor& otherSeat() {
        other_.Clear();
        TServerStore(where_).Load(other_, true);
        return other_;
    }
    static TQuestions& firstTest(TKvalor& data) {
        return *static_cast<TQuestions*>(data.SimpleTests().CollectionAt(0));
    }
    // An examination journaled as the examination window does it.
    static void journalRun() {
        TKvalor& root = kvalorRoot();
        auto study = TStudyList::NewStudy(kModeTesting, *root.Users().SortedAccounts().back(),
                                          firstTest(root), 45600.5);
        study->DrawQuestions(root.Tasks(), -1);
        study->SetState(kStudyFinished);
        TStudy& added = *study;
        root.Studies().Append(std::move(study));
        added.Score();
        dataModule().StudyJournaled(added);
    }
    bool exists(const char* name) const { return QFile::exists(folderFile(name)); }

    ServerCluster* cluster_ = nullptr;
    ServerAddress where_;
    TKvalor other_;
};

TEST_F(NetworkModeTest, LoadJournalSaveAndDeleteGoToTheServer) {
    ScriptedPrompts prompts;
    TDM& module = dataModule();
    ASSERT_TRUE(module.DataModuleCreate(FirstStart::WriteStarterData));
    EXPECT_TRUE(module.NetworkMode() && module.DataLoaded());
    EXPECT_EQ(kvalorRoot().SimpleTests().Count(), otherSeat().SimpleTests().Count());

    // A finished examination is a row at once; the recovery file is done with it.
    journalRun();
    EXPECT_EQ(otherSeat().Studies().Count(), 1);
    EXPECT_FALSE(exists("KvalorServer.recovery.exd"));

    firstTest(kvalorRoot()).SetName("Проверено по сети");
    module.SaveDataFile();
    EXPECT_EQ(firstTest(otherSeat()).GetName(), firstTest(kvalorRoot()).GetName());

    // A result of another seat shows after "Обновить с сервера".
    TKvalor& other = otherSeat();
    TServerStore(where_).WriteStudy(*TStudyList::NewStudy(
        kModeTesting, *other.Users().SortedAccounts().front(), firstTest(other), 45601.5));
    TfmKvalor window;
    module.SetRunMode(TRunMode::Administrator);
    window.findChild<QAction*>("actReload")->trigger();
    ASSERT_EQ(kvalorRoot().Studies().Count(), 2);

    while (kvalorRoot().Studies().Count() > 0) {
        kvalorRoot().Studies().Remove(kvalorRoot().Studies().StudyAt(0));
    }
    module.DataModuleDestroy();
    EXPECT_EQ(otherSeat().Studies().Count(), 0);
    // No data file is read, locked or written, and nothing is asked.
    for (const char* file : {kDataFileName, kStudiesFileName, "KvalorData.exd.lock"}) {
        EXPECT_FALSE(exists(file)) << file;
    }
    EXPECT_TRUE(prompts.finished() && prompts.seen().empty());
}

TEST_F(NetworkModeTest, AnotherSeatSavedFirstTheUserMayReload) {
    ScriptedPrompts prompts;
    registerDummyWindows();
    TfmKvalor window;
    TDM& module = dataModule();
    ASSERT_TRUE(module.DataModuleCreate());
    window.ShowWorkingWindow("TfmTestsEdit");
    // The first seat saves a renamed test; this one renamed it otherwise, unsaved. A third
    // store that loaded before the first seat saved tells how the refusal reads.
    TKvalor first, third;
    TServerStore firstStore(where_), thirdStore(where_);
    firstStore.Load(first, true);
    thirdStore.Load(third, true);
    firstTest(first).SetName("Первое место");
    firstStore.Save(first);
    firstTest(kvalorRoot()).SetName("Второе место");
    firstTest(third).SetName("Третье место");
    std::optional<QString> conflict;
    try {
        thirdStore.Save(third);
    } catch (const ServerConflict& error) {
        conflict = error.message();
    }

    const QString question =
        "\n\nЗагрузить данные с сервера заново? Несохранённые изменения тестов, пользователей и "
        "заданий, сделанные на этом компьютере, и удаления из журнала пропадут: их заменит то, "
        "что сохранено на сервере. Результаты тестирования этого компьютера сохранятся.\n«Нет» "
        "- оставить изменения несохранёнными.";
    ASSERT_TRUE(conflict);
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        prompts.expectAsk(withFullStop(*conflict) + question, answer)
            .defaultButton(QMessageBox::No);
        prompts.expectError(answer == QMessageBox::Yes
                                ? "Данные загружены с сервера заново. Изменения этого "
                                  "компьютера не сохранены."
                                : "Изменения этого компьютера не сохранены на сервере.");
        guarded([&module] { module.SaveDataFile(); });
    }
    EXPECT_TRUE(prompts.finished());
    EXPECT_EQ(firstTest(kvalorRoot()).GetName(), firstTest(otherSeat()).GetName());
    EXPECT_EQ(firstTest(otherSeat()).GetName(), firstTest(first).GetName());
    // The window closed before the data were replaced and shows the new ones.
    EXPECT_TRUE(window.IsHosted("TfmTestsEdit"));
    EXPECT_EQ(TfmTestsEdit::alive, 2);
}

TEST_F(NetworkModeTest, AServerAwayAtTheStartIsReportedAndNothingIsWritten) {
    ScriptedPrompts prompts;
    // What a failed load leaves in memory: here the data of the server as an earlier load had them.
    TServerStore(where_).Load(kvalorRoot(), true);
    cluster_->Stop();
    QString unreachable;
    try {
        TServerStore store(where_);
    } catch (const KvalorError& error) {
        unreachable = error.message();
    }
    ASSERT_FALSE(unreachable.isEmpty());
    prompts.expectInform(
        "Не удалось загрузить данные с сервера " + where_.address + ":\n" + unreachable +
        "\n\nЭта работа ничего не запишет на сервер. Результаты тестирования сохранятся в файле " +
        folderFile("KvalorServer.recovery.exd") +
        " и будут отправлены на сервер, когда данные с него снова будут загружены.");
    TDM& module = dataModule();
    EXPECT_TRUE(module.DataModuleCreate());
    EXPECT_FALSE(module.DataLoaded());
    journalRun();
    module.DataModuleDestroy();
    cluster_->Start();
    EXPECT_EQ(otherSeat().Studies().Count(), 0);
    EXPECT_FALSE(exists(kDataFileName));

    // The next start sends the kept result.
    prompts.expectInform(
        "Предыдущая работа с программой не была завершена. Из файла восстановления в журнал "
        "возвращено результатов тестирования: 1.\nОни сохранены на сервере.");
    ASSERT_TRUE(module.DataModuleCreate());
    EXPECT_EQ(otherSeat().Studies().Count(), 1);
    EXPECT_TRUE(prompts.finished());
}

}  // namespace
}  // namespace kvalor::apptest
