#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

#include "ui/Fonts.h"

namespace kvalor {
namespace {

TEST(Fonts, ApplyFontSizeSetsEveryControlButNotTheWindowOrItsDialogs) {
    // Declared first, so that it outlives the tool button that shows it.
    auto answers = std::make_unique<QMenu>("Ответы");
    QWidget window;
    QFont windowFont = window.font();
    windowFont.setPointSize(8);
    window.setFont(windowFont);

    auto* layout = new QVBoxLayout(&window);
    auto* toolbar = new QToolBar(&window);
    QAction* run = toolbar->addAction("Начать тестирование");
    answers->addAction("правильные");
    auto* answersButton = new QToolButton(toolbar);
    answersButton->setMenu(answers.get());
    toolbar->addWidget(answersButton);
    auto* caption = new QLabel("Форма тестирования");
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    auto* box = new QGroupBox(" Тест ");
    auto* boxLayout = new QVBoxLayout(box);
    auto* selectively = new QCheckBox("выборочно");
    auto* edit = new QLineEdit;
    boxLayout->addWidget(selectively);
    boxLayout->addWidget(edit);
    layout->addWidget(toolbar);
    layout->addWidget(caption);
    layout->addWidget(box);
    auto* ownedDialog = new QDialog(&window);
    const int dialogSize = ownedDialog->font().pointSize();

    ASSERT_TRUE(FontSizeDiffers(edit, 10));
    ApplyFontSize(&window, 10);

    EXPECT_EQ(window.font().pointSize(), 8);
    EXPECT_EQ(toolbar->font().pointSize(), 10);
    EXPECT_EQ(toolbar->widgetForAction(run)->font().pointSize(), 10);
    EXPECT_EQ(answersButton->font().pointSize(), 10);
    EXPECT_EQ(answers->font().pointSize(), 10);
    EXPECT_EQ(caption->font().pointSize(), 10);
    EXPECT_TRUE(caption->font().bold());
    EXPECT_EQ(box->font().pointSize(), 10);
    EXPECT_EQ(selectively->font().pointSize(), 10);
    EXPECT_FALSE(FontSizeDiffers(edit, 10));
    EXPECT_EQ(ownedDialog->font().pointSize(), dialogSize);

    // A size that makes no sense changes nothing.
    ApplyFontSize(&window, 0);
    EXPECT_EQ(edit->font().pointSize(), 10);
}

}  // namespace
}  // namespace kvalor
