#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "AppTest.h"
#include "app/Authorization.h"
#include "model/BuiltinAccounts.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"

namespace kvalor::apptest {
namespace {

TAuthorization entry(const QString& user, const QString& group, const Guid& userId,
                     const Guid& groupId) {
    return {toCp1251(user), toCp1251(group), userId, groupId};
}

class AuthorizationTest : public AppTest {
protected:
    const Guid groupA = Guid::create();
    const Guid groupB = Guid::create();
    const Guid groupC = Guid::create();
    // Built-in accounts first, then the others in name order, as the users list hands them out.
    const TAuthorizations entries = {
        entry("Администратор", "", AdministratorAccountId(), Guid()),
        entry("Преподаватель", "", TeacherAccountId(), Guid()),
        entry("Соискатель", "Вечерние", ApplicantAccountId(), groupB),
        entry("Борисов", "вечерние", Guid::create(), groupC),
        entry("Веселов", "Вечерние", Guid::create(), groupB),
        entry("Гусев", "Архив", Guid::create(), groupA),
        entry("Дёмин", "", Guid::create(), Guid()),
    };
};

TEST_F(AuthorizationTest, FillingLeavesOutTheAnonymousAccountAndSortsTheGroups) {
    TfmAuthorization login;
    EXPECT_TRUE(login.FixedList());
    login.SetFixedList(false);
    EXPECT_TRUE(login.findChild<QComboBox*>("cbGroup")->isEnabled());
    EXPECT_TRUE(login.findChild<QLabel*>("lblGroup")->isEnabled());
    login.findChild<QLineEdit*>("edPassword")->setText("старый");
    login.SetEntries(entries);
    EXPECT_EQ(
        lines(login.findChild<QComboBox*>("cbUser")),
        (QStringList{"Администратор", "Преподаватель", "Борисов", "Веселов", "Гусев", "Дёмин"}));
    // One line per group name whatever its letter case; the first spelling stays.
    EXPECT_EQ(lines(login.findChild<QComboBox*>("cbGroup")), (QStringList{"Архив", "вечерние"}));
    EXPECT_EQ(login.findChild<QComboBox*>("cbGroup")->currentIndex(), -1);
    EXPECT_EQ(login.findChild<QComboBox*>("cbUser")->currentIndex(), -1);
    EXPECT_TRUE(login.findChild<QLineEdit*>("edPassword")->text().isEmpty());
    EXPECT_EQ(login.findChild<QLineEdit*>("edPassword")->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(login.findChild<QPushButton*>("btnOk")->isEnabled());
    EXPECT_EQ(login.selectedEntry(), nullptr);
    EXPECT_TRUE(login.findChild<QPushButton*>("btnOk")->isDefault());
    EXPECT_EQ(login.findChild<QPushButton*>("btnCancel")->text(), "Cancel");

    login.SetEntries({});
    EXPECT_EQ(login.findChild<QComboBox*>("cbUser")->count(), 0);
    EXPECT_EQ(login.findChild<QComboBox*>("cbGroup")->count(), 0);
    EXPECT_FALSE(login.findChild<QPushButton*>("btnOk")->isEnabled());
}

TEST_F(AuthorizationTest, ChoosingAGroupNarrowsTheUsersByExactGroupName) {
    TfmAuthorization login;
    login.SetFixedList(false);
    login.SetEntries(entries);
    chooseLine(login.findChild<QComboBox*>("cbUser"), "Гусев");
    EXPECT_TRUE(login.findChild<QPushButton*>("btnOk")->isEnabled());

    chooseLine(login.findChild<QComboBox*>("cbGroup"), "вечерние");
    // Letter case counts here, and the anonymous account is not left out.
    EXPECT_EQ(lines(login.findChild<QComboBox*>("cbUser")), QStringList{"Борисов"});
    EXPECT_EQ(login.findChild<QComboBox*>("cbUser")->currentIndex(), -1);
    EXPECT_FALSE(login.findChild<QPushButton*>("btnOk")->isEnabled());

    login.SetEntries({entries[2], entries[4], entries[5]});
    chooseLine(login.findChild<QComboBox*>("cbGroup"), "Вечерние");
    EXPECT_EQ(lines(login.findChild<QComboBox*>("cbUser")), (QStringList{"Соискатель", "Веселов"}));
    chooseLine(login.findChild<QComboBox*>("cbUser"), "Веселов");
    ASSERT_TRUE(login.selectedEntry());
    EXPECT_EQ(login.selectedEntry()->UserId, entries[4].UserId);

    // Delete takes back the group choice only; the users stay as the group left them.
    pressKey(login.findChild<QComboBox*>("cbGroup"), Qt::Key_Delete);
    EXPECT_EQ(login.findChild<QComboBox*>("cbGroup")->currentIndex(), -1);
    EXPECT_EQ(lines(login.findChild<QComboBox*>("cbUser")), (QStringList{"Соискатель", "Веселов"}));
    EXPECT_TRUE(login.findChild<QPushButton*>("btnOk")->isEnabled());

    // Without a group line the choice of group fills the whole list again.
    login.GroupChosen();
    EXPECT_EQ(lines(login.findChild<QComboBox*>("cbUser")), (QStringList{"Веселов", "Гусев"}));
    EXPECT_FALSE(login.findChild<QPushButton*>("btnOk")->isEnabled());
}

TEST_F(AuthorizationTest, PreselectedEntryWaitsForThePassword) {
    TCompetitor& student = addAccount("Гусев", "мой пароль");
    TfmAuthorization login;
    login.SetFixedList(true);
    login.SetEntries({entry("Гусев", "", student.Id(), Guid())});
    login.PreselectEntry(0);
    EXPECT_EQ(login.findChild<QComboBox*>("cbUser")->currentText(), "Гусев");
    EXPECT_TRUE(login.findChild<QPushButton*>("btnOk")->isEnabled());

    ScriptedPrompts prompts;
    prompts.expectModal<TfmAuthorization>([](TfmAuthorization& dialog) {
        processEvents();
        EXPECT_EQ(dialog.focusWidget(), dialog.findChild<QLineEdit*>("edPassword"));
        dialog.findChild<QLineEdit*>("edPassword")->setText("мой пароль");
        click(dialog.findChild<QPushButton*>("btnOk"));
    });
    EXPECT_EQ(prompts.runModal(login), QDialog::Accepted);
    ASSERT_TRUE(login.selectedEntry());
    EXPECT_EQ(login.selectedEntry()->UserId, student.Id());

    // An entry of an account that does not exist never logs in.
    login.SetEntries({entry("Призрак", "", Guid::create(), Guid())});
    login.PreselectEntry(0);
    prompts.expectModal<TfmAuthorization>([&prompts](TfmAuthorization& dialog) {
        prompts.expectInform("Пароль задан неверно");
        click(dialog.findChild<QPushButton*>("btnOk"));
        click(dialog.findChild<QPushButton*>("btnCancel"));
    });
    EXPECT_EQ(prompts.runModal(login), QDialog::Rejected);
}

}  // namespace
}  // namespace kvalor::apptest
