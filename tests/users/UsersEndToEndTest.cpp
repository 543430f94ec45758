#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
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
#include "examination/ExamineSettings.h"
#include "question/QuestionWindow.h"
#include "support/GuiTest.h"
#include "users/CompetitorEditor.h"
#include "users/CompetitorsWindow.h"

namespace kvalor::userstest {
namespace {

class UsersEndToEndTest : public UsersTest {
protected:
    void SetUp() override {
        UsersTest::SetUp();
        registerExamineSettings();
    }

    // The main window asks for the run mode; the administrator logs in as given.
    template <class Login>
    void startAsAdministrator(Login login) {
        main_ = std::make_unique<TfmKvalor>();
        prompts_.expectModal<TfmRunMode>(
            [](TfmRunMode& dialog) { click(dialog, "btnAdministration"); });
        prompts_.expectModal<TfmAuthorization>([login](TfmAuthorization& dialog) mutable {
            examtest::chooseLine(dialog.findChild<QComboBox*>("cbUser"), "Администратор");
            login(dialog);
        });
        main_->show();
        processEvents();
        ASSERT_TRUE(prompts_.finished());
        ASSERT_EQ(dataModule().RunMode(), TRunMode::Administrator);
    }

    // The examination setup, the test and the applicant chosen.
    TfmExamineSettings& chooseExamination(const QString& test, const QString& applicant) {
        trigger(*main_, "actTest");
        auto& setup = *qobject_cast<TfmExamineSettings*>(main_->FindHosted("TfmExamineSettings"));
        click(setup, "rbSimple");
        examtest::chooseLine(setup.findChild<QComboBox*>("cbTestList"), test);
        examtest::chooseLine(setup.findChild<QComboBox*>("cbCompetitor"), applicant);
        return setup;
    }

    void expectExaminationFinishedAtOnce() {
        prompts_.expectModal<TfmQuestion>(examtest::finishExam);
        prompts_.expectAsk("Завершить тестирование?", QMessageBox::Yes);
    }
};

// What an administrator does on day one, from the starter data file of the README.
TEST_F(UsersEndToEndTest, AdministratorsFirstDay) {
    QProcess tool;
    tool.start(KVALOR_BINARY_DIR "/tools/kvalor-tool", {"init", programFile(kDataFileName)});
    ASSERT_TRUE(tool.waitForFinished(120000));
    ASSERT_EQ(tool.exitCode(), 0);
    dataModule().DataModuleCreate();
    ASSERT_TRUE(dataModule().DataLoaded());
    startAsAdministrator([this](TfmAuthorization& login) {
        prompts_.expectAsk(
            "У учётной записи «Администратор» нет пароля: войти в администрирование "
            "может любой.\nЗадать пароль сейчас?",
            QMessageBox::No);
        click(login.findChild<QPushButton*>("btnOk"));
    });
    trigger(*main_, "actEditUsers");
    TfmCompetitors& window = usersWindow();
    QTreeView* tree = window.findChild<QTreeView*>("tvCompetitors");

    // A password for the administrator, set by staff without an old one.
    clickNode(window, nodeNamed(window, "Администратор"));
    prompts_.expectModal<TfmCompetitorEdit>([](TfmCompetitorEdit& editor) {
        editor.activateWindow();
        processEvents();
        editor.findChild<QLineEdit*>("edPassword")->setFocus(Qt::TabFocusReason);
        typeKeys("Ключ 9");
        click(editor.findChild<QPushButton*>("btnSave"));
        pressKey(&editor, Qt::Key_Escape);
    });
    prompts_.expectInform("Пароль успешно изменен");
    QTest::keyClick(tree, Qt::Key_Return);

    // The class "9 Б" with two applicants, one of them with a password.
    clickNode(window, nodeNamed(window, "Администратор"));
    prompts_.expectInputBox("Наименование группы", "9 Б");
    QTest::keyClick(tree, Qt::Key_Insert, Qt::ControlModifier);
    const auto addApplicantByKeyboard = [&](const QString& fullName, const QString& password) {
        clickNode(window, nodeNamed(window, "9 Б"));
        prompts_.expectModal<TfmCompetitorEdit>([&](TfmCompetitorEdit& editor) {
            editor.activateWindow();
            processEvents();
            typeKeys(fullName);
            editor.findChild<QLineEdit*>("edTown")->setFocus(Qt::TabFocusReason);
            typeKeys("Тверь");
            // On by Tab: organisation, password.
            pressKey(QApplication::focusWidget(), Qt::Key_Tab);
            pressKey(QApplication::focusWidget(), Qt::Key_Tab);
            typeKeys(password);
            pressKey(QApplication::focusWidget(), Qt::Key_Return);
            pressKey(&editor, Qt::Key_Escape);
        });
        if (!password.isEmpty()) {
            prompts_.expectInform("Пароль успешно изменен");
        }
        QTest::keyClick(tree, Qt::Key_Insert);
        ASSERT_TRUE(prompts_.finished());
    };
    addApplicantByKeyboard("Кузнецова Мария Ивановна", "маша");
    addApplicantByKeyboard("Орлов Олег", "");
    EXPECT_EQ(treeLines(window).mid(2, 3), (QStringList{"9 Б", "  Кузнецова М.И.", "  Орлов О."}));

    // Quit with "Завершение работы"; the data file is written at the end of the run.
    trigger(main_->actClose());
    main_.reset();
    dataModule().DataModuleDestroy();

    // Start again: the new password, first mistyped.
    dataModule().DataModuleCreate();
    startAsAdministrator([this](TfmAuthorization& login) {
        prompts_.expectInform("Пароль задан неверно");
        click(login.findChild<QPushButton*>("btnOk"));
        typeText(login.findChild<QLineEdit*>("edPassword"), "Ключ 9");
        click(login.findChild<QPushButton*>("btnOk"));
    });

    // The applicant is refused with a wrong password, and takes the test with hers.
    TfmExamineSettings& setup = chooseExamination("Демонстрационный тест", "Кузнецова М.И.");
    prompts_.expectModal<TfmAuthorization>([this](TfmAuthorization& login) {
        prompts_.expectInform("Пароль задан неверно");
        typeText(login.findChild<QLineEdit*>("edPassword"), "Маша");
        click(login.findChild<QPushButton*>("btnOk"));
        click(login.findChild<QPushButton*>("btnCancel"));
    });
    trigger(setup, "actRun");
    EXPECT_EQ(kvalorRoot().Studies().Count(), 0);
    prompts_.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        typeText(login.findChild<QLineEdit*>("edPassword"), "маша");
        click(login.findChild<QPushButton*>("btnOk"));
    });
    expectExaminationFinishedAtOnce();
    trigger(setup, "actRun");
    ASSERT_TRUE(prompts_.finished());
    ASSERT_EQ(kvalorRoot().Studies().Count(), 1);
    const TCompetitor* applicant = kvalorRoot().Studies().StudyAt(0).User();
    ASSERT_NE(applicant, nullptr);
    EXPECT_EQ(examtest::text(applicant->Parent()->GetName()), "9 Б");
    EXPECT_EQ(examtest::text(applicant->GetField(9)), "Тверь");
}

// The examination setup shows the result of its last run until the applicant is deleted.
TEST_F(UsersEndToEndTest, DeletingAnApplicantClearsTheResultTheExaminationShows) {
    TQuestions& test = examtest::addTest(kGroupKindSimpleTest, "Сложение", 10);
    examtest::addQuestion(test, kSingleAnswer, "1+1", {"1", "2"}, {1});
    examtest::addQuestion(test, kSingleAnswer, "2+2", {"4", "5"}, {0});
    addApplicant("Орлов О.");
    TfmCompetitors& users = openUsers();
    TfmExamineSettings& setup = chooseExamination("Сложение", "Орлов О.");
    expectExaminationFinishedAtOnce();
    trigger(setup, "actRun");
    EXPECT_EQ(setup.findChild<QLabel*>("lblExamineResult")->text(), "не сдан (0 из 2)");

    main_->ShowWorkingWindow("TfmCompetitors");
    clickNode(users, nodeNamed(users, "Орлов О."));
    prompts_.expectAsk(
        "Вы действительно хотите удалить Орлов О.\nВместе с соискателем будут "
        "удалены его результаты тестирования: 1.",
        QMessageBox::Yes);
    trigger(users.findChild<QAction*>("actDelete"));
    ASSERT_TRUE(prompts_.finished());
    EXPECT_EQ(kvalorRoot().Studies().Count(), 0);
    EXPECT_EQ(setup.LastStudy(), nullptr);
    EXPECT_EQ(setup.findChild<QLabel*>("lblExamineResult")->text(), "неизвестен");
    EXPECT_FALSE(setup.findChild<QAction*>("actAllAnswers")->isEnabled());
}

}  // namespace
}  // namespace kvalor::userstest
