#include <optional>
#include <vector>

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest/QTest>

#include "UsersTest.h"
#include "support/GuiTest.h"
#include "users/CompetitorEditor.h"
#include "users/CompetitorsModel.h"
#include "users/CompetitorsWindow.h"

namespace kvalor::userstest {
namespace {

QString field(const TCompetitor& account, int index) {
    return examtest::text(account.GetField(index));
}

class CompetitorEditorTest : public UsersTest {
protected:
    // The editor shown for the account, as the users window loads it.
    TfmCompetitorEdit& edit(TCompetitor& account) {
        if (!main_) {
            openUsers();
        }
        TfmCompetitorEdit& dialog = editor();
        dialog.Load(&account);
        dialog.show();
        dialog.activateWindow();
        processEvents();
        return dialog;
    }
};

TEST_F(CompetitorEditorTest, FullNameIsSplitWhileTheSettingIsOn) {
    struct Case {
        bool autoSplit;
        bool pasted;  // or typed key by key
        QString input, last, first, patronymic;
    };
    const std::vector<Case> cases{
        {true, true, "Иванов Иван Иванович", "Иванов", "Иван", "Иванович"},
        {true, true, "Иванов  Иван", "Иванов", "Иван", "Петрович"},
        {true, true, "Иванов Иван Иванович Младший", "Иванов Иван Иванович Младший", "Пётр",
         "Петрович"},
        {false, true, "Иванов Иван Иванович", "Иванов Иван Иванович", "Пётр", "Петрович"},
        {true, false, "Иванов Иван Иванович", "Иванов", "Иван", "Иванович"},
        {false, false, "Иванов Иван", "Иванов Иван", "Пётр", "Петрович"},
    };
    TCompetitor& account = addApplicant("Сидоров П.П.");
    account.SetField(0, toCp1251("Пётр"));
    account.SetField(2, toCp1251("Петрович"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.toStdString() + (c.autoSplit ? " on" : " off"));
        kvalorRoot().SetAutoSplitName(c.autoSplit);
        TfmCompetitorEdit& dialog = edit(account);
        ASSERT_EQ(QApplication::focusWidget(), dialog.findChild<QLineEdit*>("edLastName"));
        if (c.pasted) {
            QGuiApplication::clipboard()->setText(c.input);
            pressKey(dialog.findChild<QLineEdit*>("edLastName"), Qt::Key_V, Qt::ControlModifier);
        } else {
            typeKeys(c.input);
        }
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edLastName")->text(), c.last);
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edFirstName")->text(), c.first);
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edPatronymic")->text(), c.patronymic);
        // Closed unsaved: nothing of it stays.
        pressKey(&dialog, Qt::Key_Escape);
        EXPECT_EQ(field(account, 1), "");
        EXPECT_EQ(dialog.Account(), nullptr);
    }
}

TEST_F(CompetitorEditorTest, SavingStoresTrimmedFieldsAndComposesTheName) {
    struct Case {
        QString last, first, patronymic, name;
    };
    const std::vector<Case> cases{
        {"  Иванов ", " Иван", "Иванович  ", "Иванов И.И."},
        {"Иванов", "Иван", "", "Иванов И."},
        {"Иванов", "", "Иванович", "Иванов"},
    };
    kvalorRoot().SetAutoSplitName(false);
    TCompetitor& account = addApplicant("Сидоров");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        TfmCompetitorEdit& dialog = edit(account);
        for (const char* name : {"edLastName", "edFirstName", "edPatronymic"}) {
            dialog.findChild<QLineEdit*>(name)->clear();
        }
        typeText(dialog.findChild<QLineEdit*>("edLastName"), c.last);
        typeText(dialog.findChild<QLineEdit*>("edFirstName"), c.first);
        typeText(dialog.findChild<QLineEdit*>("edPatronymic"), c.patronymic);
        dialog.findChild<QPlainTextEdit*>("edOrganization")->clear();
        typeText(dialog.findChild<QPlainTextEdit*>("edOrganization"), " Школа № 5 ");
        // Enter breaks no line of the organisation: it saves, as in the other fields.
        pressKey(dialog.findChild<QPlainTextEdit*>("edOrganization"), Qt::Key_Return);
        EXPECT_EQ(examtest::text(account.GetName()), c.name);
        EXPECT_EQ(field(account, 1) + field(account, 0) + field(account, 2),
                  c.last.trimmed() + c.first.trimmed() + c.patronymic.trimmed());
        EXPECT_EQ(field(account, 8), "Школа № 5");
        EXPECT_EQ(dialog.windowTitle(), "Соискатель " + c.name);
        EXPECT_FALSE(dialog.findChild<QPushButton*>("btnSave")->isEnabled());
        dialog.reject();
    }

    // The built-in accounts keep their names; a blank last name cannot be saved.
    TCompetitor& teacher = *kvalorRoot().Users().Teacher();
    TfmCompetitorEdit& dialog = edit(teacher);
    dialog.findChild<QLineEdit*>("edLastName")->setText("  ");
    typeText(dialog.findChild<QLineEdit*>("edTown"), "Тула");
    EXPECT_FALSE(dialog.findChild<QPushButton*>("btnSave")->isEnabled());
    typeText(dialog.findChild<QLineEdit*>("edLastName"), "Учитель");
    QTest::keyClick(dialog.findChild<QLineEdit*>("edTown"), Qt::Key_S, Qt::ControlModifier);
    // A button pressed by its shortcut shows itself pressed for a moment before it clicks.
    QTest::qWait(300);
    EXPECT_EQ(examtest::text(teacher.GetName()), "Преподаватель");
    EXPECT_EQ(field(teacher, 1) + field(teacher, 9), "УчительТула");
}

TEST_F(CompetitorEditorTest, StaffSetPasswordsOthersGiveTheOldOne) {
    struct Case {
        const char* what;
        QString typed;
        std::optional<QString> oldPassword;  // nullopt: the old-password box is cancelled
        const char* message;
        QString after;
        TRunMode runMode = TRunMode::Testing;  // staff are never asked for the old password
    };
    const std::vector<Case> cases{
        // An account without a password gets one by confirming an empty old password.
        {"first", "секрет", "", "Пароль успешно изменен", "секрет"},
        {"wrong old", "другой", "неверно", "Пароль не изменен", "секрет"},
        {"cancelled", "другой", std::nullopt, nullptr, "секрет"},
        {"changed", "Новый Пароль", "секрет", "Пароль успешно изменен", "Новый Пароль"},
        // A forgotten password is set anew by staff.
        {"administrator", "сброс", {}, "Пароль успешно изменен", "сброс", TRunMode::Administrator},
        {"teacher", " 1 ", {}, "Пароль успешно изменен", " 1 ", TRunMode::Teacher},
    };
    TCompetitor& account = addApplicant("Петров");
    account.SetField(1, toCp1251("Петров"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TfmCompetitorEdit& dialog = edit(account);
        dataModule().SetRunMode(c.runMode);
        // A click selects the placeholder, so that typing replaces it.
        dialog.findChild<QLineEdit*>("edPassword")->setFocus(Qt::MouseFocusReason);
        mouseClick(dialog.findChild<QLineEdit*>("edPassword"));
        typeKeys(c.typed);
        // A field changed after the password does not make it forgotten.
        typeText(dialog.findChild<QLineEdit*>("edTown"), c.what);
        if (c.runMode == TRunMode::Testing) {
            prompts_.expectPasswordInputBox("Старый пароль", c.oldPassword).prompt("").value("");
        }
        if (c.message) {
            const bool changed = c.after == c.typed;
            prompts_.expectInform(c.message)
                .caption(changed ? "Информация" : "Ошибка")
                .icon(changed ? QMessageBox::Information : QMessageBox::Critical);
        }
        click(dialog.findChild<QPushButton*>("btnSave"));
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(examtest::text(account.Password()), c.after);
        EXPECT_EQ(field(account, 9), c.what);
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edPassword")->text(), "        ");
        dialog.reject();
        account.SetField(9, {});
    }
    for (const ScriptedPrompts::Prompt& prompt : prompts_.seen()) {
        if (prompt.kind == ScriptedPrompts::Kind::PasswordInputBox) {
            EXPECT_EQ(prompt.passwordChar, QChar('#'));
        }
    }
}

TEST_F(CompetitorEditorTest, ASecondAccountOfTheSameNameIsSavedOnlyWhenTheUserSaysSo) {
    struct Case {
        std::optional<QMessageBox::StandardButton> answer;  // nullopt: nothing is asked
        QString town, name, storedTown;
    };
    const std::vector<Case> cases{
        {QMessageBox::No, "Омск", "Сидоров", ""},
        {QMessageBox::Yes, "", "Петров П.П.", ""},
        // Saved again under its own name: nothing to warn of.
        {std::nullopt, "Тверь", "Петров П.П.", "Тверь"},
    };
    const QString question =
        "В списке уже есть соискатель Петров П.П. (9 Б, Москва).\nСохранить "
        "ещё одного соискателя с тем же именем?";
    kvalorRoot().SetAutoSplitName(true);
    addApplicant("Петров П.П.", {}, &addUsersGroup(kvalorRoot().Users(), "9 Б"))
        .SetField(9, toCp1251("Москва"));
    TCompetitor& second = addApplicant("Сидоров");
    second.SetField(1, toCp1251("Сидоров"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.town.toStdString());
        TfmCompetitorEdit& dialog = edit(second);
        dialog.findChild<QLineEdit*>("edLastName")->selectAll();
        typeKeys("Петров Пётр Павлович");
        typeText(dialog.findChild<QLineEdit*>("edTown"), c.town);
        if (c.answer) {
            prompts_.expectAsk(question, *c.answer).defaultButton(QMessageBox::No);
        }
        click(dialog.findChild<QPushButton*>("btnSave"));
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(examtest::text(second.GetName()), c.name);
        EXPECT_EQ(field(second, 9), c.storedTown);
        // Declined, what was typed waits in the dialog for a change that tells them apart.
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edTown")->text(), c.town);
        dialog.reject();
    }
}

TEST_F(CompetitorEditorTest, TeacherCannotChangeTheAdministrator) {
    struct Case {
        TRunMode runMode;
        const char* account;
        bool allowed;
    };
    const std::vector<Case> cases{
        {TRunMode::Teacher, "Администратор", false},
        {TRunMode::Teacher, "Преподаватель", true},
        {TRunMode::Teacher, "Петров", true},
        {TRunMode::Administrator, "Администратор", true},
    };
    addApplicant("Петров").SetField(1, toCp1251("Петров"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.account);
        TfmCompetitors& window = openUsers(c.runMode);
        clickNode(window, nodeNamed(window, c.account));
        auto& account = *static_cast<TCompetitor*>(
            window.Model().ItemAt(window.findChild<QTreeView*>("tvCompetitors")->currentIndex()));
        prompts_.expectModal<TfmCompetitorEdit>([](TfmCompetitorEdit& dialog) {
            typeText(dialog.findChild<QLineEdit*>("edTown"), "Омск");
            click(dialog.findChild<QPushButton*>("btnSave"));
            // Stored and shown again, or refused with what was typed kept.
            EXPECT_EQ(dialog.findChild<QLineEdit*>("edTown")->text(), "Омск");
            pressKey(&dialog, Qt::Key_Escape);
        });
        if (!c.allowed) {
            prompts_.expectInform("Изменение данных невозможно")
                .caption("Нарушение прав")
                .icon(QMessageBox::Warning);
        }
        QTest::keyClick(window.findChild<QTreeView*>("tvCompetitors"), Qt::Key_F2);
        processEvents();
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(field(account, 9), c.allowed ? "Омск" : "");
        account.SetField(9, {});
    }
}

}  // namespace
}  // namespace kvalor::userstest
