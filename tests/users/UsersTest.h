#pragma once

#include <cstdint>
#include <memory>

#include <gtest/gtest.h>
#include <QModelIndex>
#include <QStringList>
#include <QTemporaryDir>

#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "question/ExamTestData.h"
#include "support/ScriptedPrompts.h"

namespace kvalor {
class TfmCompetitorEdit;
class TfmCompetitors;
}  // namespace kvalor

namespace kvalor::userstest {

using examtest::addApplicant;
using examtest::addUsersGroup;

// Tests start from the three built-in accounts in a folder of their own, with the real users
// window and user editor.
class UsersTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The main window in the run mode, its staff account logged in, the users window open.
    TfmCompetitors& openUsers(TRunMode runMode = TRunMode::Administrator);
    TfmCompetitors& usersWindow() const;
    TfmCompetitorEdit& editor() const;
    // A study of the account in the journal.
    static TStudy& addStudy(TCompetitor& account);

    QTemporaryDir folder_;
    ScriptedPrompts prompts_;
    std::unique_ptr<TfmKvalor> main_;
};

// The tree as read: one line per node in order, collapsed ones too, members indented.
QStringList treeLines(const TfmCompetitors& window);
QModelIndex nodeNamed(const TfmCompetitors& window, const QString& name);
// A click on the node (with Ctrl: added to the selection); it brings the window to the front.
void clickNode(TfmCompetitors& window, const QModelIndex& node,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// The tree's selection dragged onto the node and dropped; whether the tree took it.
bool dropSelectionOn(TfmCompetitors& window, const QModelIndex& target);
// Key by key into the widget, or into whatever has the focus at each key.
void typeText(QWidget* target, const QString& text);
void typeKeys(const QString& text);

}  // namespace kvalor::userstest
