#pragma once

#include <functional>
#include <vector>

#include <QWidget>

#include "ui/DragTreeView.h"

class QAction;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;
class QTreeView;

namespace kvalor {

class IExaminerItem;
class TfmKvalor;
class TfmQuestion;
class TfmQuestionGroupSettings;
class TfmSelectObject;
class TItemTreeModel;
class TQuestion;
class TQuestions;
class TExaminerCollection;
struct TItemNode;

// "Тесты (редактирование)", the working window in which tests are written: on the left the
// complex tests with their tasks, on the right the simple tests with their groups and
// questions. Tests are created, changed, copied and deleted here; questions are edited in the
// question window, the settings of a test in the test settings dialog.
class TfmTestsEdit : public QWidget {
    Q_OBJECT
public:
    // The dialogs it uses are the main window's: its question window, test settings dialog
    // and object selection dialog.
    explicit TfmTestsEdit(TfmKvalor& mainWindow, QWidget* parent = nullptr);
    ~TfmTestsEdit() override;

    // Both trees anew from the data; no node is remembered.
    void Reload();
    // Enables the actions from the node that has the focus in each tree.
    void UpdateActions();

    // The node that has the focus in each tree, or nullptr.
    TItemNode* ComplexNode() const;
    TItemNode* SimpleNode() const;
    // The complex test whose node has the focus (not one of its tasks), or nullptr.
    TQuestions* FocusedComplexTest() const;

    // Drops as the trees hand them over: the selection of the simple tree copied within it
    // (only with Shift), the focused task moved or copied (Shift) to the complex test of the
    // target node, and the selected tests and groups of the simple tree made tasks of it.
    void SimpleTreeDrop(TItemNode* target, DropPlace place, Qt::KeyboardModifiers modifiers);
    void ComplexTreeDrop(TItemNode* target, Qt::KeyboardModifiers modifiers);
    void SimpleToComplexDrop(TItemNode* target);

    QTreeView* tvComplex() const { return tvComplex_; }
    QTreeView* tvSimple() const { return tvSimple_; }
    TItemTreeModel& ComplexModel() const { return *complexModel_; }
    TItemTreeModel& SimpleModel() const { return *simpleModel_; }
    QSplitter* Splitter() const { return splitter_; }
    QToolBar* tbComplex() const { return tbComplex_; }
    QToolBar* tbSimple() const { return tbSimple_; }
    // The popup menus of the trees and the toolbar submenus, for actions added later.
    QMenu* pmComplex() const { return pmComplex_; }
    QMenu* pmSimple() const { return pmSimple_; }
    QMenu* mnComplexCreate() const { return mnComplexCreate_; }
    QMenu* mnSimpleCreate() const { return mnSimpleCreate_; }
    QMenu* mnSimpleAdd() const { return mnSimpleAdd_; }
    QMenu* mnSimpleItem() const { return mnSimpleItem_; }

    QAction* actCmpCreate() const { return actCmpCreate_; }
    QAction* actCmpDublicateTask() const { return actCmpDublicateTask_; }
    QAction* actCmpAddTask() const { return actCmpAddTask_; }
    QAction* actCmpChange() const { return actCmpChange_; }
    QAction* actCmpDelete() const { return actCmpDelete_; }
    QAction* actSmpCreate() const { return actSmpCreate_; }
    QAction* actSmpDublicateTask() const { return actSmpDublicateTask_; }
    QAction* actSmpAddGroup() const { return actSmpAddGroup_; }
    QAction* actSmpAddQuestion() const { return actSmpAddQuestion_; }
    QAction* actSmpCopy() const { return actSmpCopy_; }
    QAction* actSmpPaste() const { return actSmpPaste_; }
    QAction* actSmpChange() const { return actSmpChange_; }
    QAction* actSmpDelete() const { return actSmpDelete_; }
    QAction* actSmpExport() const { return actSmpExport_; }
    QAction* actSmpImportQuestions() const { return actSmpImportQuestions_; }
    QAction* actSmpMoveUp() const { return actSmpMoveUp_; }
    QAction* actSmpMoveDown() const { return actSmpMoveDown_; }
    QAction* actSave() const { return actSave_; }

    // How long the window waits after the last change before it saves by itself.
    static constexpr int kAutoSaveMilliseconds = 60'000;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildSide(const QString& title, QToolBar* toolBar, QTreeView* tree);
    void BuildActions();
    void ConnectTrees();
    void ApplyFontSetting(int pointSize);
    void FitColumns();
    void FitToToolBars();
    void SetToolButtonStyle(Qt::ToolButtonStyle style);

    QStringList NodeTexts(const TItemNode& node, bool complexTree) const;
    QVariant NodeRole(const TItemNode& node, int column, int role, bool complexTree) const;

    // The simple test that encloses the node in the simple tree (the test itself for a test).
    static TQuestions* EnclosingTest(const TItemNode* node);
    // The complex test whose task the node of the complex tree is; nullptr for a test node.
    static TQuestions* TaskOwner(const TItemNode* node);
    void RefreshComplexTree();
    void RefreshSimpleTest(TQuestions& test);

    void CreateTest(std::uint8_t groupKind);
    void ChangeComplex(TItemNode& node);
    void ChangeSimple(TItemNode& node);
    void RenameGroup(TItemNode& node, TQuestions& group);
    // Shows the question in the editor; the test's nodes are rebuilt afterwards.
    void EditQuestion(TQuestion& question, TQuestions& test);

    // The data file written now, as the users window's "Сохранить" writes it.
    void actSaveExecute();
    // A change by the author: the data file is saved by itself once the author pauses.
    void NoteChange();
    void AutoSave();

    void actCmpCreateExecute();
    void actCmpDublicateTaskExecute();
    void actCmpAddTaskExecute();
    void actCmpChangeExecute();
    void actCmpDeleteExecute();
    void actSmpCreateExecute();
    void actSmpDublicateTaskExecute();
    void actSmpAddGroupExecute();
    void actSmpAddQuestionExecute();
    void actSmpChangeExecute();
    void actSmpDeleteExecute();
    // The selected nodes of the simple tree onto the clipboard, and pasted on the focused node.
    void actSmpCopyExecute();
    void actSmpPasteExecute();
    // The tests tree after a paste or a copying drop: the tests list reloaded, or the
    // collection that received the items rebuilt; the last new item's node selected.
    void ShowPasted(TExaminerCollection* receiver, const IExaminerItem* last);
    // The selected nodes of the simple tree, in tree order; "Выделенные элементы должны быть
    // одинакового типа." unless they show items of one class and kind.
    std::vector<TItemNode*> SimpleSelectionOfOneType() const;
    // Copies of the selected tests, groups or questions next to the target or into it; or,
    // moving, the items themselves, within their test.
    void PlaceSelection(const std::vector<TItemNode*>& selected, IExaminerItem& target,
                        DropPlace place, bool move);
    void MoveItems(const std::vector<TItemNode*>& selected, TExaminerCollection& receiver,
                   const std::function<int(const IExaminerItem*)>& insertionIndex);
    // The selected items one place up (-1) or down (1) among their like in their collection.
    void MoveSelectionBy(int step);
    Qt::DropAction AcceptSimpleDrop(const TreeDrop& drop) const;
    Qt::DropAction AcceptComplexDrop(const TreeDrop& drop) const;
    // The complex test of a node of the complex tree: the node's own or its parent's.
    static TQuestions* ComplexTestOf(const TItemNode* node);
    // Whether the complex test has a task for the source; says so then.
    static bool ReportExistingTask(const TQuestions& complex, const TQuestions& source);
    // Writes the test that encloses the focused node as a workbook and opens it.
    void actSmpExportExecute();
    // Whether the user agrees to delete the item of the node of the simple tree.
    bool ConfirmSimpleDeletion(TItemNode& node);
    // Questions of GIFT and Aiken files into the focused test or group (the collection of a
    // focused question), or into a new test per file when no node has the focus.
    void actSmpImportQuestionsExecute();

    TfmQuestion& questionWindow_;
    TfmQuestionGroupSettings& settings_;
    TfmSelectObject& selectObject_;
    const QWidget& area_;

    TItemTreeModel* complexModel_;
    TItemTreeModel* simpleModel_;
    QSplitter* splitter_ = nullptr;
    TDragTreeView* tvComplex_ = nullptr;
    TDragTreeView* tvSimple_ = nullptr;
    QToolBar* tbComplex_ = nullptr;
    QToolBar* tbSimple_ = nullptr;
    QMenu* pmComplex_ = nullptr;
    QMenu* pmSimple_ = nullptr;
    QMenu* mnComplexCreate_ = nullptr;
    QMenu* mnSimpleCreate_ = nullptr;
    QMenu* mnSimpleAdd_ = nullptr;
    QMenu* mnSimpleItem_ = nullptr;

    QAction* actCmpCreate_;
    QAction* actCmpDublicateTask_;
    QAction* actCmpAddTask_;
    QAction* actCmpChange_;
    QAction* actCmpDelete_;
    QAction* actSmpCreate_;
    QAction* actSmpDublicateTask_;
    QAction* actSmpAddGroup_;
    QAction* actSmpAddQuestion_;
    QAction* actSmpCopy_;
    QAction* actSmpPaste_;
    QAction* actSmpChange_;
    QAction* actSmpDelete_;
    QAction* actSmpExport_;
    QAction* actSmpImportQuestions_;
    QAction* actSmpMoveUp_;
    QAction* actSmpMoveDown_;
    QAction* actSave_;
    // Single shot, restarted by every change (objectName "tmAutoSave").
    QTimer* tmAutoSave_;
};

// Makes the main window able to open the tests tree (its action "Тесты"); the trees are
// reloaded each time it is brought to the front. Question windows made afterwards get the
// editing mode.
void registerTestsEdit();

}  // namespace kvalor
