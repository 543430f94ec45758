#pragma once

// The authoring windows as the teacher finds them: the main window in administration with the
// tests tree open, its dialogs, and helpers to read and choose nodes.

#include <memory>

#include <gtest/gtest.h>
#include <QAction>
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

// A widget, action or other child of the window by its object name.
template <typename T = QAction>
T* named(const QObject& window, const char* name) {
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}
inline const TItemTreeModel& modelOf(const QTreeView* tree) {
    return *static_cast<const TItemTreeModel*>(tree->model());
}
// The texts of every column of the item's first node, as the tree shows them.
inline QStringList texts(const QTreeView* tree, const IExaminerItem* item) {
    const auto& model = modelOf(tree);
    const QModelIndex index = model.IndexOf(FindItemNode(model, item));
    EXPECT_TRUE(index.isValid()) << "no node";
    QStringList result;
    for (int column = 0; column < model.columnCount(); ++column) {
        result << model.index(index.row(), column, index.parent()).data().toString();
    }
    return result;
}
// The first column of the node's children.
inline QStringList childTexts(const QTreeView* tree, const IExaminerItem* item) {
    const auto& model = modelOf(tree);
    const TItemNode* node = item ? FindItemNode(model, item) : &model.Root();
    QStringList result;
    for (std::size_t i = 0; node && i < node->Children.size(); ++i) {
        result << model.IndexOf(node->Children[i].get()).data().toString();
    }
    return result;
}

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
    // The tests tree, opened the first time it is asked for, and its two trees.
    TfmTestsEdit& window() {
        if (!window_) {
            window_ = &openTests();
        }
        return *window_;
    }
    QTreeView* simple() { return named<QTreeView>(window(), "tvSimple"); }
    QTreeView* complex() { return named<QTreeView>(window(), "tvComplex"); }
    TfmQuestion& question() { return questionWindow(*main_); }
    TfmQuestionGroupSettings& settings() { return questionGroupSettingsDialog(*main_); }

    // Makes the item's node the focused and only selected one, as a click does; or adds it to
    // the selection, as a Ctrl+click does.
    static void focus(
        QTreeView* tree, const IExaminerItem* item,
        QItemSelectionModel::SelectionFlag how = QItemSelectionModel::ClearAndSelect) {
        TItemNode* node = FindItemNode(modelOf(tree), item);
        ASSERT_NE(node, nullptr);
        tree->selectionModel()->setCurrentIndex(modelOf(tree).IndexOf(node),
                                                how | QItemSelectionModel::Rows);
        processEvents();
    }
    static void addToSelection(QTreeView* tree, const IExaminerItem* item) {
        focus(tree, item, QItemSelectionModel::Select);
    }

    ScriptedPrompts prompts_;
    std::unique_ptr<TfmKvalor> main_;
    TfmTestsEdit* window_ = nullptr;
};

}  // namespace kvalor::examtest
