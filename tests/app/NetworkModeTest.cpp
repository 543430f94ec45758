#include <gtest/gtest.h>
#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QThread>
#include <QTreeView>

#include "AppTest.h"
#include "app/MainWindow.h"
#include "app/NetworkSettings.h"
#include "app/ServerLink.h"
#include "model/BuiltinAccounts.h"
#include "model/Questions.h"
#include "model/StarterData.h"
#include "model/StudyList.h"
#include "results/Journal.h"
#include "results/JournalModel.h"
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

// Runs the event loop until the condition holds, for at most a few seconds.
bool settles(const std::function<bool()>& condition) {
    const QDeadlineTimer deadline(5000);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return condition();
}

class NetworkModeTest : public AppTest {
protected:
    // A fresh store with the starter data that this seat's settings point at; another seat's
    // copy of the data in other.
    ServerAddress serverFor(const QString& name) {
        const ServerAddress where = ServerCluster::Shared()->FreshStore(name);
        BuildStarterData(other);
        TServerStore(where).Push(other, false);
        WriteNetworkSettings(folderFile(kSettingsFileName), {true, where.address, where.port});
        return where;
    }
    std::unique_ptr<TStudy> otherRun(double date) {
        return TStudyList::NewStudy(kModeTesting, *other.Users().SortedAccounts().front(),
                                    firstTest(other), date);
    }
    TKvalor other;
};

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

// Another seat's results reach the open journal through the server's notices, each once, in
// the order of the column sorted by, the selected line staying selected.
TEST_F(NetworkModeTest, TheJournalGainsOtherSeatsResultsByItself) {
    if (!ServerCluster::Shared()) {
        GTEST_SKIP() << "PostgreSQL is not installed and KVALOR_REQUIRE_SERVER is unset";
    }
    const ServerAddress where = serverFor("live");
    ScriptedPrompts prompts;
    registerDummyWindows();
    TfmKvalor window;
    ASSERT_TRUE(dataModule().DataModuleCreate());
    journalRun();
    kvalorRoot().SetCurrentUser(kvalorRoot().Users().Administrator());
    kvalor::TfmJournal journal(window);
    journal.FormShow();
    auto* list = journal.findChild<QTreeView*>("lvStudies");
    list->header()->setSortIndicator(JournalModel::ColDate, Qt::DescendingOrder);
    list->selectionModel()->select(journal.Model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const TStudy* selected = journal.Model()->StudyAt(0);
    TServerStore otherSeat(where);
    const auto first = otherRun(45700.5), second = otherRun(45500.5);
    const std::pair<std::function<void()>, std::vector<double>> steps[] = {
        {[&] { otherSeat.WriteStudy(*first); }, {45700.5, 45600.5}},
        // Sent again it stays silent: only the second one's line comes.
        {[&] {
             otherSeat.WriteStudy(*first);
             otherSeat.WriteStudy(*second);
         },
         {45700.5, 45600.5, 45500.5}},
    };
    for (const auto& [step, dates] : steps) {
        step();
        EXPECT_TRUE(settles([&] { return journal.Model()->rowCount() == int(dates.size()); }));
        ASSERT_EQ(journal.Model()->rowCount(), int(dates.size()));
        for (int row = 0; row < int(dates.size()); ++row) {
            EXPECT_EQ(journal.Model()->StudyAt(row)->Date(), dates[row]) << row;
        }
        const QModelIndexList chosen = list->selectionModel()->selectedRows();
        ASSERT_EQ(chosen.size(), 1);
        EXPECT_EQ(journal.Model()->StudyAt(chosen[0].row()), selected);
    }
    EXPECT_EQ(kvalorRoot().Studies().Count(), 3);
    EXPECT_TRUE(prompts.finished());
}

// With the server away a finished run waits in the queue, without a box, and goes once the
// server is back; staff saves are refused meanwhile; a seat closed with a run queued sends it
// at its next start.
TEST_F(NetworkModeTest, AnOutageQueuesResultsAndDeliversThemOnce) {
    ServerCluster* cluster = ServerCluster::Shared();
    if (!cluster) {
        GTEST_SKIP() << "PostgreSQL is not installed and KVALOR_REQUIRE_SERVER is unset";
    }
    const ServerAddress where = serverFor("outage");
    const auto stored = [&where] { return TServerStore(where).ReadStatus().studies; };
    ScriptedPrompts prompts;
    registerDummyWindows();
    TfmKvalor window;
    TDM& module = dataModule();
    ASSERT_TRUE(module.DataModuleCreate());
    const auto* state = window.findChild<QLabel*>("lbServerState");
    const QString connected = "сервер: " + where.address;
    EXPECT_EQ(state->text(), connected);
    cluster->Stop();
    journalRun();
    EXPECT_EQ(state->text(), "нет связи с сервером, результатов в очереди: 1");
    EXPECT_TRUE(raised<KvalorError>([&module] { module.SaveDataFile(); })
                    .startsWith("Нет связи с сервером " + where.address +
                                ", поэтому изменения не сохранены"));
    cluster->Start();
    EXPECT_TRUE(module.Link()->Retry());
    EXPECT_TRUE(module.Link()->Retry());
    EXPECT_EQ(state->text(), connected);
    EXPECT_EQ(stored(), 1);

    cluster->Stop();
    journalRun();
    const QString away = raised<KvalorError>([&where] { TServerStore store(where); });
    prompts.expectAsk("Не удалось сохранить данные на сервере " + where.address + ":\n" + away +
                          "\n\n«Повторить» - попытаться снова, устранив причину.\n«Сохранить» - "
                          "сохранить данные этой работы в файл.\n«Пропустить» - не сохранять: "
                          "несохранённые изменения этой работы пропадут; результаты "
                          "тестирования, которых нет на сервере, останутся в файле " +
                          folderFile("KvalorServer.recovery.exd") +
                          " и будут отправлены при следующем запуске.",
                      QMessageBox::Ignore);
    module.DataModuleDestroy();
    cluster->Start();
    prompts.expectInform(
        "Предыдущая работа с программой не была завершена. Из файла восстановления в журнал "
        "возвращено результатов тестирования: 1.\nОни сохранены на сервере.");
    ASSERT_TRUE(module.DataModuleCreate());
    EXPECT_EQ(stored(), 2);
    EXPECT_TRUE(prompts.finished());
}

// Users saved on another computer: staff are asked once whether to load them again, an
// applicant in testing never.
TEST_F(NetworkModeTest, ListsSavedElsewhereOfferStaffOneReload) {
    if (!ServerCluster::Shared()) {
        GTEST_SKIP() << "PostgreSQL is not installed and KVALOR_REQUIRE_SERVER is unset";
    }
    const ServerAddress where = serverFor("lists");
    ScriptedPrompts prompts;
    registerDummyWindows();
    TfmKvalor window;
    TDM& module = dataModule();
    ASSERT_TRUE(module.DataModuleCreate());
    int notices = 0;
    const QObject counting;
    QObject::connect(&module, &TDM::listsChanged, &counting, [&notices] { ++notices; });
    TServerStore otherSeat(where);
    otherSeat.Load(other, true);
    const std::pair<TRunMode, const char*> saves[] = {{TRunMode::Testing, "Первый"},
                                                      {TRunMode::Administrator, "Второй"},
                                                      {TRunMode::Administrator, "Третий"}};
    prompts
        .expectAsk(
            "На другом компьютере сохранены изменения (пользователи)\n\nЗагрузить данные с "
            "сервера заново? Несохранённые изменения тестов, пользователей и заданий, "
            "сделанные на этом компьютере, и удаления из журнала пропадут: их заменит то, "
            "что сохранено на сервере. Результаты тестирования этого компьютера "
            "сохранятся.\n«Нет» - работать дальше с данными, загруженными раньше; "
            "«Обновить с сервера» в меню «Файл» загрузит новые позже.",
            QMessageBox::No)
        .defaultButton(QMessageBox::No);
    for (int save = 0; save < 3; ++save) {
        module.SetRunMode(saves[save].first);
        other.Users().FindItem(ApplicantAccountId())->SetName(saves[save].second);
        otherSeat.Save(other);
        EXPECT_TRUE(settles([&] { return notices == save + 1; }));
        // The offer waits for staff, and comes once.
        EXPECT_EQ(prompts.finished(), save > 0);
    }
}

}  // namespace
}  // namespace kvalor::apptest
