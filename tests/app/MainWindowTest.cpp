#include <array>

#include <gtest/gtest.h>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include "AppTest.h"
#include "app/Authorization.h"
#include "app/MainWindow.h"
#include "app/RunMode.h"
#include "model/BuiltinAccounts.h"
#include "model/StudyList.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"

namespace kvalor::apptest {
namespace {

class MainWindowTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        registerDummyWindows();
    }

    QMdiSubWindow* frameOf(QWidget* window) {
        return window ? qobject_cast<QMdiSubWindow*>(window->parentWidget()) : nullptr;
    }
};

TEST_F(MainWindowTest, ActionsFollowTheRunMode) {
    TfmKvalor window;
    struct Row {
        QAction* action;
        std::array<bool, 4> enabled;  // None, Testing, Administrator, Teacher
    };
    const Row table[] = {
        {window.findChild<QAction*>("actEditTests"), {false, false, true, false}},
        {window.findChild<QAction*>("actEditUsers"), {false, false, true, true}},
        {window.findChild<QAction*>("actInportStudies"), {false, false, true, true}},
        {window.findChild<QAction*>("actJournal"), {false, true, true, true}},
        {window.findChild<QAction*>("actTest"), {false, true, true, true}},
        {window.findChild<QAction*>("actConnect"), {true, true, true, true}},
        {window.actSetting(), {true, true, true, true}},
        {window.actClose(), {true, true, true, true}},
    };
    // The window follows the run mode by itself, whichever order the modes come in.
    for (const int mode : {2, 0, 3, 1, 0}) {
        dataModule().SetRunMode(TRunMode(mode));
        for (const Row& row : table) {
            EXPECT_EQ(row.action->isEnabled(), row.enabled[mode])
                << row.action->text().toStdString() << " in run mode " << mode;
        }
    }
    dataModule().SetRunMode(TRunMode(7));
    window.updateActions();
    EXPECT_FALSE(window.findChild<QAction*>("actTest")->isEnabled());
    EXPECT_TRUE(window.actClose()->isEnabled());
}

TEST_F(MainWindowTest, LayoutOfTheFrame) {
    TfmKvalor window;
    EXPECT_EQ(window.windowTitle(), "Квалор");
    EXPECT_EQ(window.mdiArea()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(window.mdiArea()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(window.findChild<QToolBar*>("tbMainMenu")->windowTitle(), "Главное меню");

    const QList<QAction*> items = window.findChild<QToolBar*>("tbMainMenu")->actions();
    ASSERT_EQ(items.size(), 9);
    auto* fileButton = qobject_cast<QToolButton*>(
        window.findChild<QToolBar*>("tbMainMenu")->widgetForAction(items[0]));
    ASSERT_TRUE(fileButton && fileButton->menu());
    EXPECT_EQ(fileButton->text(), "Файл");
    const QList<QAction*> file = fileButton->menu()->actions();
    ASSERT_EQ(file.size(), 7);
    EXPECT_EQ(file[0], window.findChild<QAction*>("actConnect"));
    EXPECT_EQ(file[1], window.findChild<QAction*>("actInportStudies"));
    // Only the network mode has a server to update from.
    EXPECT_EQ(file[2], window.findChild<QAction*>("actReload"));
    EXPECT_FALSE(file[2]->isVisible());
    EXPECT_TRUE(file[3]->isSeparator());
    EXPECT_EQ(file[4], window.actSetting());
    EXPECT_TRUE(file[5]->isSeparator());
    EXPECT_EQ(file[6], window.actClose());
    const char* buttons[] = {"actTest", "actEditTests", "actEditUsers", "actJournal"};
    for (int index = 0; index < 4; ++index) {
        const QAction* button = window.findChild<QAction*>(buttons[index]);
        EXPECT_TRUE(items[1 + 2 * index]->isSeparator());
        EXPECT_EQ(items[2 + 2 * index], button);
        EXPECT_FALSE(button->icon().isNull());
    }
}

TEST_F(MainWindowTest, EachWorkingWindowExistsOnceAndFreesItselfOnClosing) {
    TfmKvalor window;
    int refreshed = 0;
    TfmKvalor::registerWorkingWindow(
        "TfmTestsEdit", [](TfmKvalor&) { return new TfmTestsEdit; },
        [&refreshed](QWidget&) { ++refreshed; });
    dataModule().SetRunMode(TRunMode::Administrator);

    trigger(window, "actEditTests");
    trigger(window, "actEditUsers");
    EXPECT_EQ(TfmTestsEdit::alive, 1);
    EXPECT_EQ(refreshed, 1);
    EXPECT_TRUE(window.IsHosted("tfmtestsedit"));
    EXPECT_TRUE(window.IsHosted("TFMCOMPETITORS"));
    EXPECT_FALSE(window.IsHosted("TfmJournal"));
    EXPECT_EQ(window.mdiArea()->activeSubWindow(), frameOf(window.FindHosted("TfmCompetitors")));

    // Again: no second window; it is brought up to date, restored and brought to the front.
    QMdiSubWindow* tests = frameOf(window.FindHosted("TfmTestsEdit"));
    ASSERT_TRUE(tests);
    tests->showMinimized();
    trigger(window, "actEditTests");
    EXPECT_EQ(TfmTestsEdit::alive, 1);
    EXPECT_EQ(refreshed, 2);
    EXPECT_FALSE(tests->isMinimized());
    EXPECT_EQ(window.mdiArea()->activeSubWindow(), tests);

    // A class nobody registered opens nothing.
    EXPECT_EQ(window.ShowWorkingWindow("TfmResultsView"), nullptr);
    EXPECT_EQ(window.mdiArea()->subWindowList().size(), 2);

    // A window that closes itself goes with its frame.
    window.FindHosted("TfmCompetitors")->close();
    processEvents();  // the window is freed
    processEvents();  // then its frame follows
    EXPECT_EQ(TfmCompetitors::alive, 0);
    EXPECT_FALSE(window.IsHosted("TfmCompetitors"));
    EXPECT_EQ(window.mdiArea()->subWindowList().size(), 1);

    window.CloseAllWorkingWindows();
    EXPECT_FALSE(window.IsHosted("TfmTestsEdit"));
    processEvents();
    EXPECT_EQ(TfmTestsEdit::alive, 0);
    EXPECT_TRUE(window.mdiArea()->subWindowList().isEmpty());
}

TEST_F(MainWindowTest, RefusedCloseBringsBackTheRunModeDialogWhichClosesTheWorkingWindows) {
    TfmKvalor window;
    window.show();
    dataModule().SetRunMode(TRunMode::Administrator);
    processEvents();
    trigger(window, "actJournal");
    trigger(window, "actEditUsers");
    ASSERT_EQ(TfmJournal::alive + TfmCompetitors::alive, 2);

    ScriptedPrompts prompts;
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) {
        processEvents();
        EXPECT_EQ(TfmJournal::alive + TfmCompetitors::alive, 0);
        dialog.reject();
    });
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.ClosingAllowed());
    EXPECT_TRUE(prompts.finished());
    // Closing the dialog without a choice changes nothing.
    EXPECT_EQ(dataModule().RunMode(), TRunMode::Administrator);

    // "Завершение работы" on the dialog ends the program.
    trigger(window, "actJournal");
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnClose"); });
    window.close();
    processEvents();
    EXPECT_TRUE(window.ClosingAllowed());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(TfmJournal::alive, 0);
}

TEST_F(MainWindowTest, ExitClosesTheWorkingWindowsFirst) {
    TfmKvalor window;
    window.show();
    dataModule().SetRunMode(TRunMode::Teacher);
    processEvents();
    trigger(window, "actTest");
    ASSERT_EQ(TfmExamineSettings::alive, 1);
    trigger(window.actClose());
    EXPECT_EQ(TfmExamineSettings::alive, 0);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, ChangeOfRunModeStartsTestingWithTheBuiltInApplicant) {
    TfmKvalor window;
    dataModule().SetRunMode(TRunMode::Administrator);
    ScriptedPrompts prompts;
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) {
        // The choice starts from no run mode.
        EXPECT_EQ(dataModule().RunMode(), TRunMode::None);
        click(dialog, "btnTesting");
    });
    trigger(window, "actConnect");
    EXPECT_EQ(dataModule().RunMode(), TRunMode::Testing);
    ASSERT_TRUE(kvalorRoot().CurrentUser());
    EXPECT_EQ(kvalorRoot().CurrentUser()->Id(), ApplicantAccountId());
    EXPECT_TRUE(window.IsHosted("TfmExamineSettings"));

    // A choice of administration opens nothing by itself.
    window.CloseAllWorkingWindows();
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnAdministration"); });
    prompts.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        chooseLine(login.findChild<QComboBox*>("cbUser"), "Преподаватель");
        click(login.findChild<QPushButton*>("btnOk"));
    });
    trigger(window, "actConnect");
    EXPECT_EQ(dataModule().RunMode(), TRunMode::Teacher);
    EXPECT_EQ(kvalorRoot().CurrentUser(), kvalorRoot().Users().Teacher());
    EXPECT_TRUE(window.mdiArea()->subWindowList().isEmpty());
}

TEST_F(MainWindowTest, FirstActivationAsksForTheRunModeUntilOneIsChosen) {
    TfmKvalor window;
    ScriptedPrompts prompts;
    prompts.expectModal<TfmRunMode>(QDialog::Rejected);
    window.show();
    processEvents();
    EXPECT_TRUE(prompts.finished());
    EXPECT_EQ(dataModule().RunMode(), TRunMode::None);

    // Every later activation without a run mode asks again; testing opens the examination.
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnTesting"); });
    window.FormActivate();
    EXPECT_EQ(dataModule().RunMode(), TRunMode::Testing);
    EXPECT_TRUE(window.IsHosted("TfmExamineSettings"));

    // With a run mode chosen an activation asks nothing.
    window.FormActivate();
    EXPECT_EQ(prompts.seen().size(), 2u);

    // A second start of the program brings the window back.
    window.showMinimized();
    window.BringToFront();
    EXPECT_FALSE(window.isMinimized());
}

TEST_F(MainWindowTest, JournalInTestingModeAsksForALogin) {
    TfmKvalor window;
    TCompetitor& student = addAccount("Петров", "Секрет", "Группа 1");
    addAccount("Иванов");
    moveIntoGroup(*kvalorRoot().Users().Applicant(), "Группа 1");
    dataModule().SetRunMode(TRunMode::Testing);
    ScriptedPrompts prompts;

    // Cancelled: nothing opens and the anonymous account is current.
    prompts.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        EXPECT_TRUE(login.findChild<QComboBox*>("cbGroup")->isEnabled());
        EXPECT_EQ(lines(login.findChild<QComboBox*>("cbGroup")), QStringList{"Группа 1"});
        // The anonymous account is not offered in the whole list.
        EXPECT_EQ(lines(login.findChild<QComboBox*>("cbUser")),
                  (QStringList{"Администратор", "Преподаватель", "Иванов", "Петров"}));
        click(login.findChild<QPushButton*>("btnCancel"));
    });
    kvalorRoot().SetCurrentUser(&student);
    trigger(window, "actJournal");
    EXPECT_EQ(kvalorRoot().CurrentUser(), kvalorRoot().Users().Applicant());
    EXPECT_FALSE(window.IsHosted("TfmJournal"));

    // A login that ends as the anonymous account (reached through its group) is refused.
    prompts.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        chooseLine(login.findChild<QComboBox*>("cbGroup"), "Группа 1");
        EXPECT_EQ(lines(login.findChild<QComboBox*>("cbUser")),
                  (QStringList{"Соискатель", "Петров"}));
        chooseLine(login.findChild<QComboBox*>("cbUser"), "Соискатель");
        click(login.findChild<QPushButton*>("btnOk"));
    });
    prompts.expectError("Функция недоступна.");
    trigger(window, "actJournal");
    EXPECT_EQ(kvalorRoot().CurrentUser(), kvalorRoot().Users().Applicant());
    EXPECT_FALSE(window.IsHosted("TfmJournal"));

    // An applicant with his password opens the journal and stays current.
    prompts.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        chooseLine(login.findChild<QComboBox*>("cbUser"), "Петров");
        login.findChild<QLineEdit*>("edPassword")->setText("Секрет");
        click(login.findChild<QPushButton*>("btnOk"));
    });
    trigger(window, "actJournal");
    EXPECT_EQ(kvalorRoot().CurrentUser(), &student);
    EXPECT_TRUE(window.IsHosted("TfmJournal"));
    EXPECT_TRUE(prompts.finished());
}

TEST_F(MainWindowTest, JournalInAdministrationOpensWithoutLogin) {
    TfmKvalor window;
    ScriptedPrompts prompts;
    dataModule().SetRunMode(TRunMode::Teacher);
    trigger(window, "actJournal");
    EXPECT_EQ(kvalorRoot().CurrentUser(), kvalorRoot().Users().Teacher());
    EXPECT_EQ(TfmJournal::alive, 1);
    dataModule().SetRunMode(TRunMode::Administrator);
    trigger(window, "actJournal");
    EXPECT_EQ(kvalorRoot().CurrentUser(), kvalorRoot().Users().Administrator());
    EXPECT_EQ(TfmJournal::alive, 1);
    EXPECT_TRUE(prompts.seen().empty());
}

TEST_F(MainWindowTest, ImportAsksForResultsFilesThenOpensTheJournal) {
    TfmKvalor window;
    dataModule().SetRunMode(TRunMode::Teacher);
    trigger(window, "actEditUsers");
    ScriptedPrompts prompts;
    // Cancelled: the working windows stay, and the journal still opens.
    prompts.expectOpenFiles({}).filter("Файлы *.exd (*.exd)");
    trigger(window, "actInportStudies");
    EXPECT_EQ(TfmCompetitors::alive, 1);
    EXPECT_EQ(TfmJournal::alive, 1);
    EXPECT_TRUE(prompts.finished());
}

TEST_F(MainWindowTest, ImportClosesTheWorkingWindowsThenOpensTheJournal) {
    const QString results = folderFile("Итоги.exd");
    TStudyList().SaveToFile(results);
    TfmKvalor window;
    dataModule().SetRunMode(TRunMode::Administrator);
    trigger(window, "actEditUsers");
    trigger(window, "actJournal");
    ScriptedPrompts prompts;
    prompts.expectOpenFiles({results});
    prompts.expectInform(QStringLiteral("Импортировано результатов тестов: 0."))
        .caption(QStringLiteral("Импорт результатов тестов"))
        .icon(QMessageBox::Information);
    trigger(window, "actInportStudies");
    EXPECT_EQ(TfmCompetitors::alive, 0);
    EXPECT_EQ(TfmJournal::alive, 1);
    EXPECT_EQ(window.mdiArea()->subWindowList().size(), 1);

    // A file that cannot be read stops the import; the journal is not opened again.
    window.CloseAllWorkingWindows();
    const QString missing = folderFile("Нет.exd");
    prompts.expectOpenFiles({missing});
    prompts.expectError(QStringLiteral("Файл %1 не найден.").arg(missing));
    trigger(window, "actInportStudies");
    EXPECT_EQ(TfmJournal::alive, 0);
    EXPECT_TRUE(prompts.finished());
}

TEST_F(MainWindowTest, PrintScreenEmptiesTheClipboard) {
    TfmKvalor window;
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto* tests = new QMimeData;
    tests->setData("application/x-kvalor-4098", "tests");
    tests->setText("Вопрос 1");
    clipboard->setMimeData(tests);
    pressKey(window.mdiArea(), Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_EQ(clipboard->text(), "Вопрос 1");
    // Any window of the program: the guard watches the whole application.
    QWidget other;
    pressKey(&other, Qt::Key_Print);
    EXPECT_TRUE(clipboard->text().isEmpty());
    const QMimeData* left = clipboard->mimeData();
    EXPECT_TRUE(!left || !left->hasFormat("application/x-kvalor-4098"));
}

// However many windows are open, a new one shows whole, with its buttons in reach, also when
// it asks for more room than the frame has.
TEST_F(MainWindowTest, WorkingWindowsOpenWhollyInsideTheFrame) {
    TfmKvalor window;
    dataModule().SetRunMode(TRunMode::Administrator);  // no run-mode dialog on showing
    window.resize(800, 600);
    window.show();
    processEvents();
    const QRect area = window.mdiArea()->viewport()->rect();
    for (const QSize size :
         {QSize(500, 400), QSize(500, 400), QSize(300, 200), QSize(2000, 1500)}) {
        auto* content = new QWidget;
        content->resize(size);
        QMdiSubWindow* frame = window.HostWorkingWindow(content);
        processEvents();
        EXPECT_TRUE(area.contains(frame->geometry()))
            << frame->geometry().x() << "," << frame->geometry().y();
    }
}

}  // namespace
}  // namespace kvalor::apptest
