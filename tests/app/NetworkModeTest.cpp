#include <gtest/gtest.h>
#include <QAction>
#include <QFile>

#include "AppTest.h"
#include "app/MainWindow.h"
#include "app/NetworkSettings.h"
#include "model/Questions.h"
#include "model/StarterData.h"
#include "model/StudyList.h"
#include "support/ScriptedPrompts.h"
#include "support/ServerCluster.h"
#include "ui/ErrorGuard.h"

namespace kvalor::apptest {
namespace {

// The text of what the call raises, empty when it raises nothing.
template <class E, class F>
QString raised(F call) {
    try {
        call();
    } catch (const E& error) {
        return error.message();
    }
    return {};
}

TQuestions& firstTest(TKvalor& data) {
    return *static_cast<TQuestions*>(data.SimpleTests().CollectionAt(0));
}

// A finished examination, a day after the others (a study is known by its date, mode, account
// and test).
void journalRun() {
    TKvalor& root = kvalorRoot();
    root.Studies().Append(TStudyList::NewStudy(kModeTesting, *root.Users().SortedAccounts().back(),
                                               firstTest(root), 45600.5 + root.Studies().Count()));
    dataModule().StudyJournaled(root.Studies().StudyAt(root.Studies().Count() - 1));
}

using NetworkModeTest = AppTest;

TEST_F(NetworkModeTest, SeatsShareTheServerAndAConflictOffersToReload) {
    ServerCluster* cluster = ServerCluster::Shared();
    if (!cluster) {
        GTEST_SKIP() << "PostgreSQL is not installed and KVALOR_REQUIRE_SERVER is unset";
    }
    // This seat's settings file points at a fresh server with the starter data.
    const ServerAddress where = cluster->FreshStore("netmode");
    TKvalor other;
    BuildStarterData(other);
    TServerStore(where).Push(other, false);
    WriteNetworkSettings(folderFile(kSettingsFileName), {true, where.address, where.port});
    const auto otherSeat = [&where, &other]() -> TKvalor& {
        TServerStore(where).Load(other, true);
        return other;
    };
    ScriptedPrompts prompts;
    registerDummyWindows();
    TfmKvalor window;
    TDM& module = dataModule();
    // A server away at the start is reported; the run writes nothing and its result waits.
    TServerStore(where).Load(kvalorRoot(), true);
    cluster->Stop();
    prompts.expectInform(
        "Не удалось загрузить данные с сервера " + where.address + ":\n" +
        raised<KvalorError>([&where] { TServerStore store(where); }) +
        "\n\nЭта работа ничего не запишет на сервер. Результаты тестирования сохранятся в файле " +
        folderFile("KvalorServer.recovery.exd") +
        " и будут отправлены на сервер, когда данные с него снова будут загружены.");
    EXPECT_TRUE(module.DataModuleCreate());
    EXPECT_FALSE(module.DataLoaded());
    journalRun();
    module.DataModuleDestroy();
    cluster->Start();
    EXPECT_EQ(otherSeat().Studies().Count(), 0);
    // The next start loads from the server and sends the result.
    prompts.expectInform(
        "Предыдущая работа с программой не была завершена. Из файла восстановления в журнал "
        "возвращено результатов тестирования: 1.\nОни сохранены на сервере.");
    ASSERT_TRUE(module.DataModuleCreate());
    EXPECT_TRUE(module.NetworkMode() && module.DataLoaded());
    EXPECT_EQ(otherSeat().Studies().Count(), 1);
    // A finished examination is a row at once; the recovery file is done with it.
    journalRun();
    EXPECT_EQ(otherSeat().Studies().Count(), 2);
    EXPECT_FALSE(QFile::exists(folderFile("KvalorServer.recovery.exd")));
    firstTest(kvalorRoot()).SetName("Проверено по сети");
    module.SaveDataFile();
    EXPECT_EQ(firstTest(otherSeat()).GetName(), firstTest(kvalorRoot()).GetName());
    // A result of another seat shows after "Обновить с сервера".
    TServerStore(where).WriteStudy(*TStudyList::NewStudy(
        kModeTesting, *other.Users().SortedAccounts().front(), firstTest(other), 45601.5));
    module.SetRunMode(TRunMode::Administrator);
    window.findChild<QAction*>("actReload")->trigger();
    EXPECT_EQ(kvalorRoot().Studies().Count(), 3);
    // The first seat saves a renamed test; this one renamed it otherwise, unsaved. A third
    // seat, loaded before the first saved, tells how the refusal reads.
    window.ShowWorkingWindow("TfmTestsEdit");
    TKvalor first, third;
    TServerStore firstStore(where), thirdStore(where);
    firstStore.Load(first, true);
    thirdStore.Load(third, true);
    firstTest(first).SetName("Первое место");
    firstStore.Save(first);
    firstTest(kvalorRoot()).SetName("Второе место");
    firstTest(third).SetName("Третье место");
    const QString conflict = raised<ServerConflict>([&] { thirdStore.Save(third); });
    ASSERT_FALSE(conflict.isEmpty());
    prompts
        .expectAsk(withFullStop(conflict) +
                       "\n\nЗагрузить данные с сервера заново? Несохранённые изменения тестов, "
                       "пользователей и заданий, сделанные на этом компьютере, и удаления из "
                       "журнала пропадут: их заменит то, что сохранено на сервере. Результаты "
                       "тестирования этого компьютера сохранятся.\n«Нет» - оставить изменения "
                       "несохранёнными.",
                   QMessageBox::Yes)
        .defaultButton(QMessageBox::No);
    prompts.expectError(
        "Данные загружены с сервера заново. Изменения этого компьютера не "
        "сохранены.");
    guarded([&module] { module.SaveDataFile(); });
    EXPECT_EQ(firstTest(kvalorRoot()).GetName(), firstTest(first).GetName());
    EXPECT_EQ(firstTest(otherSeat()).GetName(), firstTest(first).GetName());
    // The window closed before the data were replaced and shows the new ones.
    EXPECT_TRUE(window.IsHosted("TfmTestsEdit"));
    EXPECT_EQ(TfmTestsEdit::alive, 2);
    kvalorRoot().Studies().Remove(kvalorRoot().Studies().StudyAt(0));
    module.DataModuleDestroy();
    EXPECT_EQ(otherSeat().Studies().Count(), 2);
    for (const char* file : {kDataFileName, kStudiesFileName, "KvalorData.exd.lock"}) {
        EXPECT_FALSE(QFile::exists(folderFile(file))) << file;
    }
    EXPECT_TRUE(prompts.finished());
}

}  // namespace
}  // namespace kvalor::apptest
