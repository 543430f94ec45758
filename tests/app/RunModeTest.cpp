#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "AppTest.h"
#include "app/Authorization.h"
#include "app/MainWindow.h"
#include "app/RunMode.h"
#include "app/Settings.h"
#include "model/BuiltinAccounts.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"

namespace kvalor::apptest {
namespace {

using RunModeTest = AppTest;

TEST_F(RunModeTest, TestingMakesTheBuiltInApplicantCurrent) {
    TfmKvalor window;
    ScriptedPrompts prompts;
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnTesting"); });
    prompts.runModal(*window.findChild<TfmRunMode*>());
    EXPECT_EQ(dataModule().RunMode(), TRunMode::Testing);
    ASSERT_TRUE(kvalorRoot().CurrentUser());
    EXPECT_EQ(kvalorRoot().CurrentUser()->Id(), ApplicantAccountId());
    EXPECT_EQ(kvalorRoot().CurrentUser()->GetName(), toCp1251("Соискатель"));
    EXPECT_FALSE(window.findChild<TfmRunMode*>()->isVisible());

    // Without the built-in applicant account the choice fails without a word.
    TCompetitor* applicant = kvalorRoot().Users().Applicant();
    ASSERT_TRUE(applicant);
    kvalorRoot().Users().Extract(*applicant).reset();
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnTesting"); });
    prompts.runModal(*window.findChild<TfmRunMode*>());
    EXPECT_EQ(dataModule().RunMode(), TRunMode::None);
    EXPECT_EQ(kvalorRoot().CurrentUser(), nullptr);
    EXPECT_FALSE(window.findChild<TfmRunMode*>()->isVisible());
}

TEST_F(RunModeTest, EnterPressesTheButtonThatHasTheFocus) {
    TfmKvalor window;
    ScriptedPrompts prompts;
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) {
        dialog.findChild<QPushButton*>("btnTesting")->setFocus();
        pressKey(dialog.findChild<QPushButton*>("btnTesting"), Qt::Key_Return);
    });
    prompts.runModal(*window.findChild<TfmRunMode*>());
    EXPECT_EQ(dataModule().RunMode(), TRunMode::Testing);
    EXPECT_TRUE(prompts.finished());
}

TEST_F(RunModeTest, AdministrationLogsInTheBuiltInStaffOnly) {
    TfmKvalor window;
    addAccount("Иванов", "", "Группа 1");
    ScriptedPrompts prompts;
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnAdministration"); });
    prompts.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        EXPECT_EQ(login.windowTitle(), "Авторизация");
        EXPECT_FALSE(login.findChild<QComboBox*>("cbGroup")->isEnabled());
        EXPECT_FALSE(login.findChild<QLabel*>("lblGroup")->isEnabled());
        EXPECT_EQ(login.findChild<QComboBox*>("cbGroup")->count(), 0);
        EXPECT_EQ(lines(login.findChild<QComboBox*>("cbUser")),
                  (QStringList{"Администратор", "Преподаватель"}));
        EXPECT_FALSE(login.findChild<QPushButton*>("btnOk")->isEnabled());
        chooseLine(login.findChild<QComboBox*>("cbUser"), "Администратор");
        EXPECT_TRUE(login.findChild<QPushButton*>("btnOk")->isEnabled());
        // The built-in administrator has no password: an empty field is accepted.
        click(login.findChild<QPushButton*>("btnOk"));
    });
    prompts.runModal(*window.findChild<TfmRunMode*>());
    EXPECT_EQ(dataModule().RunMode(), TRunMode::Administrator);
    EXPECT_EQ(kvalorRoot().CurrentUser(), kvalorRoot().Users().Administrator());
    EXPECT_FALSE(window.findChild<TfmRunMode*>()->isVisible());
}

// A staff account without a password is offered one at its first login.
TEST_F(RunModeTest, AStaffAccountWithoutAPasswordIsOfferedOne) {
    kvalorRoot().SaveToFile(folderFile(kDataFileName));
    ScriptedPrompts prompts;
    ASSERT_TRUE(dataModule().DataModuleCreate());
    TfmKvalor window;
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnAdministration"); });
    prompts.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        chooseLine(login.findChild<QComboBox*>("cbUser"), "Администратор");
        click(login.findChild<QPushButton*>("btnOk"));
    });
    prompts.expectAsk(
        "У учётной записи «Администратор» нет пароля: войти в администрирование может "
        "любой.\nЗадать пароль сейчас?",
        QMessageBox::Yes);
    prompts.expectPasswordInputBox("Пароль «Администратор»", "тайна");
    prompts.expectPasswordInputBox("Пароль «Администратор»", "тайна");
    prompts.expectInform("Пароль задан и сохранён в файле данных");
    trigger(window, "actConnect");
    EXPECT_TRUE(prompts.finished());
    TKvalor saved;
    saved.LoadFromFile(folderFile(kDataFileName), true);
    EXPECT_EQ(saved.Users().Administrator()->Password(), toCp1251("тайна"));
    dataModule().DataModuleDestroy();
}

TEST_F(RunModeTest, PasswordsCompareExactly) {
    TfmKvalor window;
    kvalorRoot().Users().Teacher()->SetPassword(toCp1251("Пароль7"));
    ScriptedPrompts prompts;
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) {
        click(dialog, "btnAdministration");
        // Cancelling the login leaves the choice open.
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dataModule().RunMode(), TRunMode::None);
        click(dialog, "btnAdministration");
    });
    prompts.expectModal<TfmAuthorization>(QDialog::Rejected);
    prompts.expectModal<TfmAuthorization>([&prompts](TfmAuthorization& login) {
        chooseLine(login.findChild<QComboBox*>("cbUser"), "Преподаватель");
        for (const char* wrong : {"", "пароль7", "ПАРОЛЬ7", "Пароль7 "}) {
            login.findChild<QLineEdit*>("edPassword")->setText(QString::fromUtf8(wrong));
            prompts.expectInform("Пароль задан неверно")
                .caption("Ошибка")
                .icon(QMessageBox::Critical);
            click(login.findChild<QPushButton*>("btnOk"));
            // The dialog stays with the choice and the text for another try.
            EXPECT_TRUE(login.isVisible());
            EXPECT_EQ(login.findChild<QComboBox*>("cbUser")->currentText(), "Преподаватель");
            EXPECT_EQ(login.findChild<QLineEdit*>("edPassword")->text(), QString::fromUtf8(wrong));
        }
        login.findChild<QLineEdit*>("edPassword")->setText("Пароль7");
        click(login.findChild<QPushButton*>("btnOk"));
    });
    prompts.runModal(*window.findChild<TfmRunMode*>());
    EXPECT_EQ(dataModule().RunMode(), TRunMode::Teacher);
    EXPECT_EQ(kvalorRoot().CurrentUser(), kvalorRoot().Users().Teacher());
    EXPECT_TRUE(prompts.finished());
}

TEST_F(RunModeTest, RunModeDialogReachesTheSettings) {
    TfmKvalor window;
    kvalorRoot().SetFontSize(11);
    ScriptedPrompts prompts;
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) {
        click(dialog, "btnSetting");
        dialog.reject();
    });
    prompts.expectModal<TfmSetting>([](TfmSetting& settings) {
        EXPECT_EQ(settings.findChild<QLineEdit*>("edFontSize")->text(), "11");
        settings.reject();
    });
    prompts.runModal(*window.findChild<TfmRunMode*>());
    EXPECT_TRUE(prompts.finished());
}

}  // namespace
}  // namespace kvalor::apptest
