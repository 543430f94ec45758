#include <optional>
#include <vector>

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest/QTest>

#include "UsersTest.h"
#include "model/BuiltinAccounts.h"
#include "model/Kvalor.h"
#include "support/GuiTest.h"
#include "users/CompetitorEditor.h"
#include "users/CompetitorsModel.h"
#include "users/CompetitorsWindow.h"
#include "util/Codepage.h"

namespace kvalor::userstest {
namespace {

QString field(const TCompetitor& account, int index) {
    return fromCp1251(account.GetField(index));
}

class CompetitorEditorTest : public UsersTest {
protected:
    // The editor shown (not modally) for the account, as the users window loads it.
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

    // Clicks into the field as the mouse would, then types.
    static void clickAndType(QLineEdit* edit, const QString& text) {
        edit->setFocus(Qt::MouseFocusReason);
        mouseClick(edit);
        typeText(edit, text);
    }
};

TEST_F(CompetitorEditorTest, FullNameTypedIntoTheLastNameIsSplitWhileTheSettingIsOn) {
    struct Case {
        bool autoSplit;
        bool pasted;  // pasted whole, or typed key by key
        QString input;
        QString last, first, patronymic;
    };
    const std::vector<Case> cases{
        {true, true, "Иванов Иван Иванович", "Иванов", "Иван", "Иванович"},
        {true, true, "Иванов  Иван", "Иванов", "Иван", "Петрович"},
        {true, true, "Иванов Иван Иванович Младший", "Иванов Иван Иванович Младший", "Пётр",
         "Петрович"},
        {false, true, "Иванов Иван Иванович", "Иванов Иван Иванович", "Пётр", "Петрович"},
        // Typing goes on in the field that took the part after the space.
        {true, false, "Иванов Иван", "Иванов", "Иван", "Петрович"},
        {true, false, "Иванов Иван Иванович", "Иванов", "Иван", "Иванович"},
        {false, false, "Иванов Иван", "Иванов Иван", "Пётр", "Петрович"},
    };
    TCompetitor& account = addAccount("Сидоров П.П.");
    account.SetField(0, toCp1251("Пётр"));
    account.SetField(2, toCp1251("Петрович"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.toStdString() + (c.autoSplit ? " on" : " off"));
        kvalorRoot().SetAutoSplitName(c.autoSplit);
        TfmCompetitorEdit& dialog = edit(account);
        QLineEdit* lastName = dialog.edLastName();
        lastName->selectAll();
        if (c.pasted) {
            QGuiApplication::clipboard()->setText(c.input);
            pressKey(lastName, Qt::Key_V, Qt::ControlModifier);
        } else {
            lastName->setFocus(Qt::MouseFocusReason);
            typeKeys(c.input);
        }
        EXPECT_EQ(lastName->text(), c.last);
        EXPECT_EQ(dialog.edFirstName()->text(), c.first);
        EXPECT_EQ(dialog.edPatronymic()->text(), c.patronymic);
        EXPECT_TRUE(dialog.Modified());
        dialog.reject();
        // Closed unsaved: nothing of it stays.
        EXPECT_EQ(field(account, 1), "Сидоров П.П.");
        EXPECT_EQ(dialog.Account(), nullptr);
    }
}

TEST_F(CompetitorEditorTest, SavingStoresTrimmedFieldsAndComposesTheDisplayName) {
    struct Case {
        QString last, first, patronymic;
        QString name;
    };
    const std::vector<Case> cases{
        {"  Иванов ", " Иван", "Иванович  ", "Иванов И.И."},
        {"Иванов", "Иван", "", "Иванов И."},
        // A patronymic alone is not shown.
        {"Иванов", "", "Иванович", "Иванов"},
        {"Иванов", "", "", "Иванов"},
    };
    kvalorRoot().SetAutoSplitName(false);
    TCompetitor& account = addAccount("Сидоров");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        TfmCompetitorEdit& dialog = edit(account);
        for (QLineEdit* edit : {dialog.edLastName(), dialog.edFirstName(), dialog.edPatronymic()}) {
            edit->clear();
        }
        typeText(dialog.edLastName(), c.last);
        typeText(dialog.edFirstName(), c.first);
        typeText(dialog.edPatronymic(), c.patronymic);
        dialog.edTown()->clear();
        typeText(dialog.edTown(), " Тверь ");
        // Enter does not break the line of the organisation; it saves, as in every field.
        dialog.edOrganization()->clear();
        typeText(dialog.edOrganization(), " Школа № 5 ");
        pressKey(dialog.edOrganization(), Qt::Key_Return);

        EXPECT_EQ(fromCp1251(account.GetName()), c.name);
        EXPECT_EQ(field(account, 1), c.last.trimmed());
        EXPECT_EQ(field(account, 0), c.first.trimmed());
        EXPECT_EQ(field(account, 2), c.patronymic.trimmed());
        EXPECT_EQ(field(account, 9), "Тверь");
        EXPECT_EQ(field(account, 8), "Школа № 5");
        // The fields show what was stored; nothing is left to save.
        EXPECT_EQ(dialog.windowTitle(), "Соискатель " + c.name);
        EXPECT_EQ(dialog.edTown()->text(), "Тверь");
        EXPECT_FALSE(dialog.btnSave()->isEnabled());
        EXPECT_FALSE(dialog.Modified());
        dialog.reject();
    }

    // The built-in accounts keep their names; an empty last name cannot be saved.
    TCompetitor& teacher = *kvalorRoot().Users().Teacher();
    TfmCompetitorEdit& dialog = edit(teacher);
    dialog.edLastName()->clear();
    typeText(dialog.edLastName(), "  ");
    typeText(dialog.edTown(), "Тула");
    EXPECT_FALSE(dialog.btnSave()->isEnabled());
    typeText(dialog.edLastName(), "Учитель");
    ASSERT_TRUE(dialog.btnSave()->isEnabled());
    // Ctrl+S is the button's shortcut.
    QTest::keyClick(dialog.edTown(), Qt::Key_S, Qt::ControlModifier);
    // A button pressed by its shortcut shows itself pressed for a moment before it clicks.
    QTest::qWait(300);
    processEvents();
    EXPECT_EQ(fromCp1251(teacher.GetName()), "Преподаватель");
    EXPECT_EQ(field(teacher, 1), "Учитель");
    EXPECT_EQ(field(teacher, 9), "Тула");
}

TEST_F(CompetitorEditorTest, PasswordChangesOnlyWithTheOldPassword) {
    struct Case {
        const char* what;
        std::optional<QString> newPassword;  // typed into the field; nullopt: left alone
        std::optional<QString> oldPassword;  // nullopt: the old-password box is cancelled
        const char* message;                 // nullptr: none
        QString passwordAfter;
    };
    const std::vector<Case> cases{
        // An account without a password gets one by confirming an empty old password.
        {"first password", "секрет", "", "Пароль успешно изменен", "секрет"},
        {"wrong old password", "другой", "неверно", "Пароль не изменен", "секрет"},
        {"cancelled", "другой", std::nullopt, nullptr, "секрет"},
        {"changed", "Новый Пароль", "секрет", "Пароль успешно изменен", "Новый Пароль"},
        {"password left alone", std::nullopt, std::nullopt, nullptr, "Новый Пароль"},
        {"password removed", "", "Новый Пароль", "Пароль успешно изменен", ""},
    };
    TCompetitor& account = addAccount("Петров");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TfmCompetitorEdit& dialog = edit(account);
        EXPECT_EQ(dialog.edPassword()->text(), "        ");
        EXPECT_EQ(dialog.edPassword()->echoMode(), QLineEdit::Password);
        if (c.newPassword) {
            // A click in the field selects the placeholder, so typing replaces it.
            clickAndType(dialog.edPassword(), *c.newPassword);
            if (c.newPassword->isEmpty()) {
                pressKey(dialog.edPassword(), Qt::Key_Backspace);
            }
            EXPECT_EQ(dialog.edPassword()->text(), *c.newPassword);
            EXPECT_TRUE(dialog.PasswordEdited());
        }
        // Another field changed after the password does not make it forgotten.
        dialog.edTown()->clear();
        typeText(dialog.edTown(), c.what);
        if (c.newPassword) {
            prompts_.expectPasswordInputBox("Старый пароль", c.oldPassword).prompt("").value("");
        }
        if (c.message) {
            const bool changed = QString(c.message) == "Пароль успешно изменен";
            prompts_.expectInform(c.message)
                .caption(changed ? "Информация" : "Ошибка")
                .icon(changed ? QMessageBox::Information : QMessageBox::Critical);
        }
        click(dialog.btnSave());
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(fromCp1251(account.Password()), c.passwordAfter);
        EXPECT_EQ(field(account, 9), c.what);
        EXPECT_FALSE(dialog.PasswordEdited());
        EXPECT_FALSE(dialog.btnSave()->isEnabled());
        dialog.reject();
    }
    // The old password is typed as "#" characters too.
    int boxes = 0;
    for (const ScriptedPrompts::Prompt& prompt : prompts_.seen()) {
        if (prompt.kind == ScriptedPrompts::Kind::PasswordInputBox) {
            EXPECT_EQ(prompt.passwordChar, QChar('#'));
            ++boxes;
        }
    }
    EXPECT_EQ(boxes, 5);
}

// Through the users window, as the administrator or the teacher works with it.
TEST_F(CompetitorEditorTest, TeacherCannotChangeTheAdministrator) {
    struct Case {
        std::uint8_t runMode;
        const char* account;
        bool allowed;
    };
    const std::vector<Case> cases{
        {kRunModeTeacher, "Администратор", false},
        {kRunModeTeacher, "Преподаватель", true},
        {kRunModeTeacher, "Петров", true},
        {kRunModeAdministrator, "Администратор", true},
        {kRunModeAdministrator, "Преподаватель", true},
    };
    addAccount("Петров");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.account) +
                     (c.runMode == kRunModeTeacher ? " by the teacher" : ""));
        TfmCompetitors& window = openUsers(c.runMode);
        clickNode(window, nodeNamed(window, c.account));
        TCompetitor& account = *static_cast<TCompetitor*>(
            window.Model().ItemAt(window.tvCompetitors()->currentIndex()));
        prompts_.expectModal<TfmCompetitorEdit>([&c](TfmCompetitorEdit& dialog) {
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Соискатель %1").arg(c.account));
            typeText(dialog.edTown(), "Омск");
            click(dialog.btnSave());
            // Stored and shown again, or refused with what was typed kept.
            EXPECT_EQ(dialog.edTown()->text(), "Омск");
            EXPECT_EQ(dialog.btnSave()->isEnabled(), !c.allowed);
            pressKey(&dialog, Qt::Key_Escape);
        });
        if (!c.allowed) {
            prompts_.expectInform("Изменение данных невозможно")
                .caption("Нарушение прав")
                .icon(QMessageBox::Warning);
        }
        QTest::keyClick(window.tvCompetitors(), Qt::Key_F2);
        processEvents();
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(field(account, 9), c.allowed ? "Омск" : "");
        account.SetField(9, {});
    }
}

// Closing drops what was not saved; the next opening shows what is stored.
TEST_F(CompetitorEditorTest, ClosingDiscardsTheEdits) {
    TCompetitor& account = addAccount("Петров", nullptr, "Москва");
    TfmCompetitorEdit& dialog = edit(account);
    typeText(dialog.edTown(), "-на-Дону");
    clickAndType(dialog.edPassword(), "секрет");
    ASSERT_TRUE(dialog.btnSave()->isEnabled());
    pressKey(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(field(account, 9), "Москва");
    EXPECT_TRUE(account.HasNoPassword());

    edit(account);
    EXPECT_EQ(dialog.edTown()->text(), "Москва");
    EXPECT_EQ(dialog.edPassword()->text(), "        ");
    EXPECT_FALSE(dialog.btnSave()->isEnabled());
    // Typing the stored text back leaves nothing to save.
    typeText(dialog.edTown(), "!");
    EXPECT_TRUE(dialog.btnSave()->isEnabled());
    pressKey(dialog.edTown(), Qt::Key_Backspace);
    EXPECT_FALSE(dialog.btnSave()->isEnabled());
}

}  // namespace
}  // namespace kvalor::userstest
