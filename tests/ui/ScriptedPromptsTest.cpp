#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"

namespace kvalor {
namespace {

TEST(ScriptedPrompts, AnswersInOrderAndRecordsEveryPrompt) {
    ScriptedPrompts script;
    script.expectAsk("Сохранить изменения ?", QMessageBox::No)
        .caption("Предупреждение")
        .icon(QMessageBox::Question)
        .buttons(QMessageBox::Yes | QMessageBox::No)
        .defaultButton(QMessageBox::No);
    script.expectInputBox("Продление времени теста", "15")
        .prompt("Дополнительное время (мин)")
        .value("0");
    script.expectPasswordInputBox("Пароль", std::nullopt);
    script.expectOpenFiles(QStringList{"/data/a.exd", "/data/b.exd"}).filter("Файлы *.exd (*.exd)");
    script.expectSaveFile("/data/users.exd");
    script.expectInform("Задание скопировано");

    EXPECT_EQ(prompts().ask("Сохранить изменения ?", "Предупреждение", QMessageBox::Question,
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
              QMessageBox::No);
    EXPECT_EQ(prompts().inputBox("Продление времени теста", "Дополнительное время (мин)", "0"),
              std::optional<QString>("15"));
    EXPECT_EQ(prompts().passwordInputBox("Пароль", "Новый пароль", "old", u'*'), std::nullopt);
    EXPECT_EQ(prompts().openFiles("Импорт", "Файлы *.exd (*.exd)", {}),
              QStringList({"/data/a.exd", "/data/b.exd"}));
    EXPECT_EQ(prompts().saveFile("Сохранить", "Данные Квалор (*.exd)", "", "exd"),
              "/data/users.exd");
    prompts().inform("Задание скопировано", "Квалор", QMessageBox::Information);

    EXPECT_TRUE(script.finished());
    ASSERT_EQ(script.seen().size(), 6u);
    EXPECT_EQ(script.seen()[2].value, "old");
    EXPECT_EQ(script.seen()[2].passwordChar, u'*');
    EXPECT_EQ(script.seen()[4].defaultSuffix, "exd");
}

TEST(ScriptedPrompts, DrivesAModalDialogThatMayPromptInTurn) {
    QDialog dialog;
    auto* edit = new QLineEdit(&dialog);
    auto* ok = new QPushButton("Ok", &dialog);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog] {
        if (prompts().ask("Продолжить?", "Квалор", QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes) {
            dialog.accept();
        }
    });

    ScriptedPrompts script;
    bool shownWhileDriven = false;
    script.expectModal<QDialog>([&](QDialog& d) {
        shownWhileDriven = d.isVisible();
        edit->setText("Иванов");
        click(ok);
    });
    script.expectAsk("Продолжить?", QMessageBox::Yes);
    script.expectModal<QDialog>(QDialog::Rejected);

    EXPECT_EQ(prompts().runModal(dialog), QDialog::Accepted);
    EXPECT_TRUE(shownWhileDriven);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(edit->text(), "Иванов");
    EXPECT_EQ(prompts().runModal(dialog), QDialog::Rejected);
    EXPECT_EQ(script.seen()[0].dialogClass, "QDialog");
}

TEST(ScriptedPrompts, ADialogThatFreesItselfOnClosingStillGivesItsResult) {
    auto* dialog = new QDialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QDialog> alive(dialog);
    ScriptedPrompts script;
    script.expectModal<QDialog>([](QDialog& d) {
        d.accept();
        processEvents();
    });
    EXPECT_EQ(prompts().runModal(*dialog), QDialog::Accepted);
    EXPECT_TRUE(alive.isNull());
}

TEST(ScriptedPrompts, FailsTheTestOnAPromptItDidNotExpect) {
    ScriptedPrompts script;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    EXPECT_NONFATAL_FAILURE(
        answer = prompts().ask("Удалить объект ?", "Квалор", QMessageBox::Critical,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
        "Удалить объект ?");
    EXPECT_EQ(answer, QMessageBox::No);

    // Another text than the next step: that step waits for its own prompt.
    script.expectAsk("Удалить тест ?", QMessageBox::Yes);
    EXPECT_NONFATAL_FAILURE(
        answer = prompts().ask("Удалить группу ?", "Квалор", QMessageBox::Critical,
                               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No),
        "Удалить группу ?");
    EXPECT_EQ(answer, QMessageBox::Cancel);
    EXPECT_EQ(prompts().ask("Удалить тест ?", "Квалор", QMessageBox::Critical,
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
              QMessageBox::Yes);

    // The right prompt with a wrong detail still gets its scripted answer.
    script.expectAsk("Удалить тест ?", QMessageBox::Yes).icon(QMessageBox::Critical);
    EXPECT_NONFATAL_FAILURE(answer = prompts().ask("Удалить тест ?", "Квалор", QMessageBox::Warning,
                                                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
                            "icon differs");
    EXPECT_EQ(answer, QMessageBox::Yes);

    std::optional<QString> text = "x";
    EXPECT_NONFATAL_FAILURE(text = prompts().inputBox("Количество", "Количество", ""),
                            "Количество");
    EXPECT_EQ(text, std::nullopt);
}

TEST(ScriptedPrompts, FailsTheTestWhenTheScriptIsNotUsedUp) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompts script;
            script.expectAsk("Время истекло. Завершить работу ?", QMessageBox::Yes);
        },
        "Время истекло. Завершить работу ?");
}

TEST(ScriptedPrompts, FailsTheTestOnADialogOfAnotherClassOrOneLeftOpen) {
    QDialog dialog;
    ScriptedPrompts script;
    script.expectModal<QDialog>([](QDialog&) {});
    int result = -1;
    EXPECT_NONFATAL_FAILURE(result = prompts().runModal(dialog), "left the dialog");
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());

    // Classes compare exactly: a subclass is another dialog, and it is never shown.
    QInputDialog other;
    script.expectModal<QDialog>(QDialog::Accepted);
    EXPECT_NONFATAL_FAILURE(result = prompts().runModal(other), "runModal QInputDialog");
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(prompts().runModal(dialog), QDialog::Accepted);
}

TEST(GuiTestHelpers, ClickingADisabledButtonFailsTheTest) {
    QPushButton button("Начать тестирование");
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&clicks] { ++clicks; });
    button.setEnabled(false);
    EXPECT_NONFATAL_FAILURE(click(&button), "disabled button");
    button.setEnabled(true);
    click(&button);
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace kvalor
