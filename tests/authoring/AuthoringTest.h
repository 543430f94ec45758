#pragma once

// The authoring windows as the teacher finds them: the main window in administration with the
// tests tree open, its dialogs, and helpers to read and choose nodes.

#include <memory>

#include <gtest/gtest.h>
#include <QStringList>
#include <QTreeView>

#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "authoring/QuestionEditor.h"
#include "authoring/QuestionGroupSettings.h"
#include "authoring/SelectObject.h"
#include "authoring/TestsEdit.h"
#include "question/ExamTestData.h"
#include "question/QuestionWindow.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"

namespace kvalor::examtest {

class AuthoringTest : public ExamTest {
protected:
    void SetUp() override {
        ExamTest::SetUp();
        registerTestsEdit();
        main_ = std::make_unique<TfmKvalor>();
        dataModule().SetRunMode(TRunMode::Administrator);
        main_->show();
        processEvents();
    }

    void TearDown() override {
        main_.reset();
        processEvents();
        ExamTest::TearDown();
        dataModule().SetRunMode(TRunMode::None);
    }

    // The tests tree, opened (and so reloaded) through the main window.
    TfmTestsEdit& openTests() {
        trigger(*main_, "actEditTests");
        auto* window = qobject_cast<TfmTestsEdit*>(main_->FindHosted("TfmTestsEdit"));
        EXPECT_NE(window, nullptr);
        return *window;
    }
    TfmQuestion& question() { return questionWindow(*main_); }
    TfmQuestionGroupSettings& settings() { return questionGroupSettingsDialog(*main_); }

    // The texts of every column of the item's first node, as the tree shows them.
    static QStringList texts(const QTreeView* tree, const IExaminerItem* item) {
        const auto& model = *static_cast<const TItemTreeModel*>(tree->model());
        const QModelIndex index = model.IndexOf(FindItemNode(model, item));
        EXPECT_TRUE(index.isValid()) << "no node";
        QStringList result;
        for (int column = 0; column < model.columnCount(); ++column) {
            result << model.index(index.row(), column, index.parent()).data().toString();
        }
        return result;
    }
    // The first column of the node's children.
    static QStringList childTexts(const QTreeView* tree, const IExaminerItem* item) {
        const auto& model = *static_cast<const TItemTreeModel*>(tree->model());
        const TItemNode* node = item ? FindItemNode(model, item) : &model.Root();
        QStringList result;
        for (std::size_t i = 0; node && i < node->Children.size(); ++i) {
            result << model.IndexOf(node->Children[i].get()).data().toString();
        }
        return result;
    }
    // Makes the item's node the focused and only selected one, as a click does.
    static void focus(QTreeView* tree, const IExaminerItem* item) {
        const auto& model = *static_cast<const TItemTreeModel*>(tree->model());
        TItemNode* node = FindItemNode(model, item);
        ASSERT_NE(node, nullptr);
        tree->selectionModel()->setCurrentIndex(
            model.IndexOf(node), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        processEvents();
    }
    // Adds the item's node to the selection, as a Ctrl+click does.
    static void addToSelection(QTreeView* tree, const IExaminerItem* item) {
        const auto& model = *static_cast<const TItemTreeModel*>(tree->model());
        tree->selectionModel()->setCurrentIndex(
            model.IndexOf(FindItemNode(model, item)),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        processEvents();
    }

    ScriptedPrompts prompts_;
    std::unique_ptr<TfmKvalor> main_;
};

}  // namespace kvalor::examtest
