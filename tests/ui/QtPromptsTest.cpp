#include <functional>
#include <memory>

#include <gtest/gtest.h>
#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include "support/GuiTest.h"
#include "ui/PasswordInputBox.h"
#include "ui/Prompts.h"

namespace kvalor {
namespace {

// The real boxes, through the Qt prompts: drive gets the box of class T once exec() has shown it.
class QtPromptsTest : public testing::Test {
protected:
    void SetUp() override { previous_ = setPrompts(nullptr); }
    void TearDown() override { setPrompts(previous_); }

    template <class T>
    static void whenShown(std::function<void(T&)> drive) {
        auto* timer = new QTimer;
        auto attempts = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, [timer, drive, attempts] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<T*>(widget);
                if (box && box->isVisible()) {
                    timer->stop();
                    timer->deleteLater();
                    drive(*box);
                    if (box->isVisible()) {
                        ADD_FAILURE() << "the box stayed open";
                        box->reject();
                    }
                    return;
                }
            }
            if (++*attempts > 500) {
                timer->stop();
                timer->deleteLater();
                ADD_FAILURE() << "the box was never shown";
            }
        });
        timer->start(10);
    }

    static bool run(QString& value, std::function<void(PasswordInputDialog&)> drive) {
        whenShown(std::move(drive));
        return PasswordInputBox("Смена пароля", "Новый пароль", value, u'*');
    }

private:
    Prompts* previous_ = nullptr;
};

void type(QLineEdit* edit, const QString& text) {
    for (const QChar c : text) {
        pressKey(edit, Qt::Key_unknown, Qt::NoModifier, QString(c));
    }
}

TEST_F(QtPromptsTest, PasswordBoxOkReturnsTheTypedValue) {
    QString value = "старый";
    const bool confirmed = run(value, [](PasswordInputDialog& box) {
        EXPECT_EQ(box.windowTitle(), "Смена пароля");
        EXPECT_EQ(box.findChild<QLabel*>("promptLabel")->text(), "Новый пароль");
        QLineEdit* edit = box.findChild<QLineEdit*>("edit");
        EXPECT_EQ(edit->maxLength(), 255);
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        EXPECT_EQ(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit),
                  int(u'*'));
        EXPECT_EQ(edit->selectedText(), "старый");
        const QPoint screenCentre = box.screen()->availableGeometry().center();
        EXPECT_LE((box.frameGeometry().center() - screenCentre).manhattanLength(), 2);
        EXPECT_EQ(box.buttons()->button(QDialogButtonBox::Cancel)->text(), "Отмена");

        type(edit, "новый");  // replaces the selected value
        click(box.buttons()->button(QDialogButtonBox::Ok));
    });
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(value, "новый");
}

TEST_F(QtPromptsTest, PasswordBoxEnterConfirmsBecauseOkIsTheDefault) {
    QString value = "abc";
    EXPECT_TRUE(run(value, [](PasswordInputDialog& box) {
        type(box.findChild<QLineEdit*>("edit"), "xyz");
        pressKey(box.findChild<QLineEdit*>("edit"), Qt::Key_Return);
    }));
    EXPECT_EQ(value, "xyz");
}

TEST_F(QtPromptsTest, PasswordBoxCancelAndEscapeLeaveTheValueAlone) {
    QString value = "abc";
    EXPECT_FALSE(run(value, [](PasswordInputDialog& box) {
        type(box.findChild<QLineEdit*>("edit"), "xyz");
        click(box.buttons()->button(QDialogButtonBox::Cancel));
    }));
    EXPECT_EQ(value, "abc");
    EXPECT_FALSE(run(value, [](PasswordInputDialog& box) {
        type(box.findChild<QLineEdit*>("edit"), "xyz");
        pressKey(&box, Qt::Key_Escape);
    }));
    EXPECT_EQ(value, "abc");
}

TEST_F(QtPromptsTest, MessageBoxesSpeakRussianAndShowTextAsItIs) {
    whenShown<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), "Предупреждение");
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), "Да");
        EXPECT_EQ(box.button(QMessageBox::No)->text(), "Нет");
        pressKey(&box, Qt::Key_Escape);  // Escape counts as No
    });
    EXPECT_EQ(prompts().ask("Удалить <b>группу</b> ?", "Предупреждение", QMessageBox::Question,
                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
              QMessageBox::No);
}

TEST_F(QtPromptsTest, EnterAndEscapeAnswerNoWhenNoIsTheDefault) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        whenShown<QMessageBox>([key](QMessageBox& box) {
            EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
            pressKey(&box, key);
        });
        EXPECT_EQ(prompts().ask("Завершить тестирование?", "Предупреждение", QMessageBox::Warning,
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
                  QMessageBox::No)
            << key;
    }
}

TEST(PasswordInputDialog, WithoutAPasswordCharacterTheTextShows) {
    PasswordInputDialog box("Пароль", "Пароль", "видно", QChar());
    EXPECT_EQ(box.findChild<QLineEdit*>("edit")->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(box.text(), "видно");
}

TEST_F(QtPromptsTest, InputBoxesAreWideEnoughForTheirCaptionAtALargeFont) {
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSize(20);
    QApplication::setFont(large);
    const QString caption = "Переименование группы вопросов";
    const auto wideEnough = [&caption](QDialog& box) {
        EXPECT_GE(box.width(), box.fontMetrics().horizontalAdvance(caption))
            << box.metaObject()->className();
        box.reject();
    };
    whenShown<QInputDialog>(wideEnough);
    EXPECT_EQ(prompts().inputBox(caption, "Имя", ""), std::nullopt);
    whenShown<PasswordInputDialog>(wideEnough);
    EXPECT_EQ(prompts().passwordInputBox(caption, "Имя", "", u'*'), std::nullopt);
    QApplication::setFont(before);
}

}  // namespace
}  // namespace kvalor
