#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>

#include "AppTest.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"

namespace kvalor::apptest {
namespace {

using SettingsTest = AppTest;

TEST_F(SettingsTest, OkStoresBothSettingsAndAnnouncesTheFontSize) {
    TfmKvalor window;
    TfmSetting& settings = window.SettingDialog();
    std::vector<int> announced;
    QObject::connect(&settings, &TfmSetting::fontSizeChanged,
                     [&announced](int size) { announced.push_back(size); });
    kvalorRoot().SetFontSize(10);
    ScriptedPrompts prompts;
    prompts.expectModal<TfmSetting>([](TfmSetting& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Установки");
        EXPECT_EQ(dialog.findChild<QTabWidget*>("pcSettings")->tabText(0), "Общие");
        EXPECT_EQ(dialog.findChild<QTabWidget*>("pcSettings")->currentIndex(), 0);
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edFontSize")->text(), "10");
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("chbAutoSplitName")->isChecked());
        EXPECT_EQ(dialog.findChild<QCheckBox*>("chbAutoSplitName")->text(),
                  "автоматически разносить ФИО");
        // The network connection is shown but has no function.
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("chbNetworkMode")->isChecked());
        EXPECT_FALSE(dialog.findChild<QCheckBox*>("chbNetworkMode")->isEnabled());
        EXPECT_FALSE(dialog.findChild<QLineEdit*>("edAddress")->isEnabled());
        EXPECT_FALSE(dialog.findChild<QLineEdit*>("edPort")->isEnabled());
        dialog.findChild<QLineEdit*>("edFontSize")->setText("14");
        dialog.findChild<QCheckBox*>("chbAutoSplitName")->setChecked(false);
        click(dialog, "btnOk");
    });
    trigger(window.actSetting());
    EXPECT_EQ(kvalorRoot().FontSize(), 14);
    EXPECT_FALSE(kvalorRoot().AutoSplitName());
    EXPECT_EQ(announced, std::vector<int>{14});

    // The next showing starts from the stored values.
    prompts.expectModal<TfmSetting>([](TfmSetting& dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edFontSize")->text(), "14");
        EXPECT_FALSE(dialog.findChild<QCheckBox*>("chbAutoSplitName")->isChecked());
        dialog.reject();
    });
    trigger(window.actSetting());
    EXPECT_TRUE(prompts.finished());
}

TEST_F(SettingsTest, NothingIsAppliedWithoutAWholeNumberOrWithoutOk) {
    TfmKvalor window;
    TfmSetting& settings = window.SettingDialog();
    int announced = 0;
    QObject::connect(&settings, &TfmSetting::fontSizeChanged, [&announced] { ++announced; });
    kvalorRoot().SetFontSize(9);
    ScriptedPrompts prompts;
    for (const char* text : {"", "12.5", "двенадцать", "12pt"}) {
        prompts.expectModal<TfmSetting>([text](TfmSetting& dialog) {
            dialog.findChild<QLineEdit*>("edFontSize")->setText(QString::fromUtf8(text));
            dialog.findChild<QCheckBox*>("chbAutoSplitName")->setChecked(false);
            click(dialog, "btnOk");
            EXPECT_FALSE(dialog.isVisible());
        });
        trigger(window.actSetting());
        EXPECT_EQ(kvalorRoot().FontSize(), 9) << text;
        EXPECT_TRUE(kvalorRoot().AutoSplitName()) << text;
    }
    // Closed with its close button: nothing either.
    prompts.expectModal<TfmSetting>([](TfmSetting& dialog) {
        dialog.findChild<QLineEdit*>("edFontSize")->setText("20");
        dialog.close();
    });
    trigger(window.actSetting());
    EXPECT_EQ(kvalorRoot().FontSize(), 9);
    EXPECT_EQ(announced, 0);
    // A size that is not a whole number is dropped without a message.
    EXPECT_EQ(prompts.seen().size(), 5u);
}

TEST_F(SettingsTest, FontFieldIsReadyForTypingAndTheSizeIsBounded) {
    TfmKvalor window;
    kvalorRoot().SetFontSize(10);
    ScriptedPrompts prompts;
    // The field has the keyboard with its text selected: typing replaces it.
    prompts.expectModal<TfmSetting>([](TfmSetting& dialog) {
        EXPECT_EQ(dialog.focusWidget(), dialog.findChild<QLineEdit*>("edFontSize"));
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edFontSize")->selectedText(), "10");
        pressKey(dialog.findChild<QLineEdit*>("edFontSize"), Qt::Key_7, Qt::NoModifier, "7");
        pressKey(dialog.findChild<QLineEdit*>("edFontSize"), Qt::Key_Return);
    });
    trigger(window.actSetting());
    EXPECT_EQ(kvalorRoot().FontSize(), 7);

    for (const auto& [typed, stored] : {std::pair{"60", 36}, {"5", 6}, {"0", 6}, {"36", 36}}) {
        prompts.expectModal<TfmSetting>([typed = typed](TfmSetting& dialog) {
            dialog.findChild<QLineEdit*>("edFontSize")->setText(typed);
            click(dialog, "btnOk");
        });
        trigger(window.actSetting());
        EXPECT_EQ(kvalorRoot().FontSize(), stored) << typed;
    }
    EXPECT_TRUE(prompts.finished());
}

TEST_F(SettingsTest, UnsetFontSizeStartsFromTheDialogsOwn) {
    TfmSetting settings;
    kvalorRoot().SetFontSize(0);
    ScriptedPrompts prompts;
    prompts.expectModal<TfmSetting>([](TfmSetting& dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edFontSize")->text(),
                  QString::number(dialog.font().pointSize()));
        dialog.reject();
    });
    prompts.runModal(settings);
    EXPECT_EQ(kvalorRoot().FontSize(), settings.font().pointSize());
}

}  // namespace
}  // namespace kvalor::apptest
