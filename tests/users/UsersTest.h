#pragma once

#include <cstdint>
#include <memory>

#include <gtest/gtest.h>
#include <QModelIndex>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "support/ScriptedPrompts.h"

class QWidget;

namespace kvalor {
class TfmCompetitorEdit;
class TfmCompetitors;
class TStudy;
}  // namespace kvalor

namespace kvalor::userstest {

// Every test starts from the three built-in accounts in a program folder of its own, with the
// real users window and user editor registered, and leaves the root object cleared.
class UsersTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The main window, shown in the run mode with the built-in staff account of that mode
    // logged in, and the users window opened by its action.
    TfmCompetitors& openUsers(std::uint8_t runMode = kRunModeAdministrator);
    TfmCompetitors& usersWindow() const;
    TfmCompetitorEdit& editor() const;

    // A group of the users list with an id, and an account in it (or at the top level).
    static TCompetitors& addGroup(const QString& name);
    static TCompetitor& addAccount(const QString& name, TCompetitors* group = nullptr,
                                   const QString& town = {});
    // A study of the account in the journal.
    static TStudy& addStudy(TCompetitor& account);
    static int studiesOf(const TCompetitor* account);

    QString folderFile(const QString& name) const { return folder_.filePath(name); }

    QTemporaryDir folder_;
    ScriptedPrompts prompts_;
    std::unique_ptr<TfmKvalor> main_;
};

// The tree as the user reads it: one line per node in display order (collapsed groups too),
// members indented by two spaces.
QStringList treeLines(const TfmCompetitors& window);
// The node whose name is that text; fails the test when there is none.
QModelIndex nodeNamed(const TfmCompetitors& window, const QString& name);
// A left click on the node, with Ctrl to add it to the selection.
void clickNode(TfmCompetitors& window, const QModelIndex& node,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Drags the tree's selection onto the node as the tree's own drag would and drops it there;
// returns whether the tree took the drop.
bool dropSelectionOn(TfmCompetitors& window, const QModelIndex& target);
// Types the text key by key into the widget, or into whatever has the focus.
void typeText(QWidget* target, const QString& text);
void typeKeys(const QString& text);

}  // namespace kvalor::userstest
