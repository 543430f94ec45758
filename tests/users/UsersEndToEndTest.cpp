#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QtTest/QTest>

#include "UsersTest.h"
#include "app/Authorization.h"
#include "app/RunMode.h"
#include "authoring/ExamTestData.h"
#include "authoring/QuestionWindow.h"
#include "examination/ExamineSettings.h"
#include "model/Kvalor.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "support/GuiTest.h"
#include "users/CompetitorEditor.h"
#include "users/CompetitorsWindow.h"
#include "util/Codepage.h"

namespace kvalor::userstest {
namespace {

const QString kFinish = QStringLiteral("Завершить тестирование?");

class UsersEndToEndTest : public UsersTest {
protected:
    void SetUp() override {
        UsersTest::SetUp();
        registerExamineSettings();
    }

    TfmExamineSettings& examination() const {
        auto* window = qobject_cast<TfmExamineSettings*>(main_->FindHosted("TfmExamineSettings"));
        EXPECT_NE(window, nullptr);
        return *window;
    }

    // A run started anew: the main window asks for the run mode, administration is chosen
    // and the administrator's login is done as given.
    template <class Login>
    void startAsAdministrator(Login login) {
        main_ = std::make_unique<TfmKvalor>();
        prompts_.expectModal<TfmRunMode>(
            [](TfmRunMode& dialog) { click(dialog.btnAdministration()); });
        prompts_.expectModal<TfmAuthorization>([login](TfmAuthorization& dialog) mutable {
            examtest::chooseLine(dialog.cbUser(), "Администратор");
            login(dialog);
        });
        main_->show();
        processEvents();
        ASSERT_TRUE(prompts_.finished());
    }

    // The examination of the chosen test by the applicant, finished at once without answers.
    void expectExaminationFinishedAtOnce() {
        prompts_.expectModal<TfmQuestion>([](TfmQuestion& exam) { trigger(exam.actFinish()); });
        prompts_.expectAsk(kFinish, QMessageBox::Yes);
    }
};

// What an administrator does on the first day, from the starter data file of the README.
TEST_F(UsersEndToEndTest, AdministratorsFirstDay) {
    QProcess tool;
    tool.start(QStringLiteral(KVALOR_BINARY_DIR "/tools/kvalor-tool"),
               {QStringLiteral("init"), programFile(kDataFileName)});
    ASSERT_TRUE(tool.waitForFinished(120000));
    ASSERT_EQ(tool.exitCode(), 0);
    kvalorRoot().Clear();
    dataModule().DataModuleCreate();
    ASSERT_TRUE(dataModule().DataLoaded());

    // The administrator logs in without a password, as the README says.
    startAsAdministrator([](TfmAuthorization& login) { click(login.btnOk()); });
    ASSERT_EQ(dataModule().RunMode(), kRunModeAdministrator);
    trigger(main_->actEditUsers());
    TfmCompetitors& window = usersWindow();
    QTreeView* tree = window.tvCompetitors();

    // A password for the administrator: the old one is empty.
    clickNode(window, nodeNamed(window, "Администратор"));
    prompts_.expectModal<TfmCompetitorEdit>([](TfmCompetitorEdit& editor) {
        editor.activateWindow();
        processEvents();
        editor.edPassword()->setFocus(Qt::TabFocusReason);
        typeKeys("Ключ 9");
        click(editor.btnSave());
        pressKey(&editor, Qt::Key_Escape);
    });
    prompts_.expectPasswordInputBox("Старый пароль", "");
    prompts_.expectInform("Пароль успешно изменен");
    QTest::keyClick(tree, Qt::Key_Return);
    processEvents();
    EXPECT_EQ(kvalorRoot().Users().Administrator()->Password(), toCp1251("Ключ 9"));

    // The class "9 Б" with two applicants, one of them with a password.
    clickNode(window, nodeNamed(window, "Администратор"));
    prompts_.expectInputBox("Наименование группы", "9 Б");
    QTest::keyClick(tree, Qt::Key_Insert, Qt::ControlModifier);
    processEvents();
    clickNode(window, nodeNamed(window, "9 Б"));
    prompts_.expectModal<TfmCompetitorEdit>([](TfmCompetitorEdit& editor) {
        // The full name typed into the last name is split as it is typed.
        editor.activateWindow();
        processEvents();
        ASSERT_EQ(QApplication::focusWidget(), editor.edLastName());
        typeKeys("Кузнецова Мария Ивановна");
        // On by Tab: town, organisation, password.
        pressKey(QApplication::focusWidget(), Qt::Key_Tab);
        typeKeys("Тверь");
        pressKey(QApplication::focusWidget(), Qt::Key_Tab);
        pressKey(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), editor.edPassword());
        typeKeys("маша");
        pressKey(editor.edPassword(), Qt::Key_Return);
        click(editor.btnClose());
    });
    prompts_.expectPasswordInputBox("Старый пароль", "");
    prompts_.expectInform("Пароль успешно изменен");
    QTest::keyClick(tree, Qt::Key_Insert);
    processEvents();
    clickNode(window, nodeNamed(window, "9 Б"));
    prompts_.expectModal<TfmCompetitorEdit>([](TfmCompetitorEdit& editor) {
        editor.activateWindow();
        processEvents();
        typeKeys("Орлов Олег");
        pressKey(editor.edFirstName(), Qt::Key_Return);
        pressKey(&editor, Qt::Key_Escape);
    });
    QTest::keyClick(tree, Qt::Key_Insert);
    processEvents();
    ASSERT_TRUE(prompts_.finished());
    EXPECT_EQ(treeLines(window),
              (QStringList{"Администратор", "Преподаватель", "10 А класс", "  Иванов П.С.",
                           "  Смирнова А.В.", "9 Б", "  Кузнецова М.И.", "  Орлов О."}));

    // Quit: "Завершение работы", and the data file is written at the end of the run.
    trigger(main_->actClose());
    main_.reset();
    dataModule().DataModuleDestroy();

    // Start again: the new password, first mistyped.
    kvalorRoot().Clear();
    dataModule().DataModuleCreate();
    ASSERT_TRUE(dataModule().DataLoaded());
    startAsAdministrator([this](TfmAuthorization& login) {
        prompts_.expectInform("Пароль задан неверно");
        click(login.btnOk());
        ASSERT_TRUE(login.isVisible());
        typeText(login.edPassword(), "Ключ 9");
        click(login.btnOk());
    });
    ASSERT_EQ(dataModule().RunMode(), kRunModeAdministrator);

    // The applicant with the password takes the demonstration test after giving it, and is
    // refused with a wrong one.
    trigger(main_->actTest());
    TfmExamineSettings& setup = examination();
    click(setup.rbSimple());
    examtest::chooseLine(setup.cbTestList(), "Демонстрационный тест");
    examtest::chooseLine(setup.cbCompetitor(), "Кузнецова М.И.");
    prompts_.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        login.edPassword()->setText("Маша");
        click(login.btnOk());
        click(login.btnCancel());
    });
    prompts_.expectInform("Пароль задан неверно");
    trigger(setup.actRun());
    ASSERT_TRUE(prompts_.finished());
    EXPECT_EQ(kvalorRoot().Studies().Count(), 0);

    prompts_.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        login.edPassword()->setText("маша");
        click(login.btnOk());
    });
    expectExaminationFinishedAtOnce();
    trigger(setup.actRun());
    ASSERT_TRUE(prompts_.finished());
    ASSERT_EQ(kvalorRoot().Studies().Count(), 1);
    const TStudy& study = kvalorRoot().Studies().StudyAt(0);
    ASSERT_NE(study.User(), nullptr);
    EXPECT_EQ(fromCp1251(study.User()->GetName()), "Кузнецова М.И.");
    EXPECT_EQ(fromCp1251(study.User()->Parent()->GetName()), "9 Б");
    EXPECT_EQ(fromCp1251(study.User()->GetField(9)), "Тверь");
}

// A deleted applicant takes the results along, and the examination window lets go of the one
// it shows.
TEST_F(UsersEndToEndTest, DeletingAnApplicantClearsTheResultTheExaminationShows) {
    TQuestions& test = examtest::addTest(kGroupKindSimpleTest, "Сложение", 10);
    examtest::addQuestion(test, kSingleAnswer, "1+1", {"1", "2"}, {1});
    examtest::addQuestion(test, kSingleAnswer, "2+2", {"4", "5"}, {0});
    addAccount("Орлов О.");
    TfmCompetitors& users = openUsers();
    trigger(main_->actTest());
    TfmExamineSettings& setup = examination();
    click(setup.rbSimple());
    examtest::chooseLine(setup.cbTestList(), "Сложение");
    examtest::chooseLine(setup.cbCompetitor(), "Орлов О.");
    expectExaminationFinishedAtOnce();
    trigger(setup.actRun());
    ASSERT_EQ(kvalorRoot().Studies().Count(), 1);
    ASSERT_NE(setup.LastStudy(), nullptr);
    EXPECT_EQ(setup.lblExamineResult()->text(), "не сдан (0 из 2)");
    EXPECT_TRUE(setup.actAllAnswers()->isEnabled());

    main_->ShowWorkingWindow("TfmCompetitors");
    clickNode(users, nodeNamed(users, "Орлов О."));
    prompts_.expectAsk("Вы действительно хотите удалить Орлов О.", QMessageBox::Yes);
    trigger(users.actDelete());
    ASSERT_TRUE(prompts_.finished());
    EXPECT_EQ(kvalorRoot().Studies().Count(), 0);
    EXPECT_EQ(setup.LastStudy(), nullptr);
    EXPECT_EQ(setup.lblExamineResult()->text(), "неизвестен");
    EXPECT_FALSE(setup.actAllAnswers()->isEnabled());
    EXPECT_EQ(questionWindow(*main_).Study(), nullptr);
}

}  // namespace
}  // namespace kvalor::userstest
