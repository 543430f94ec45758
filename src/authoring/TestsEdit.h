#pragma once

#include <QWidget>

#include "authoring/TestsTreeController.h"
#include "authoring/TestsTreeDrops.h"
#include "authoring/TestsTreeView.h"

class QAction;
class QMenu;
class QSplitter;
class QToolBar;
class QTreeView;

namespace kvalor {

class TDragTreeView;
class TfmKvalor;
class TfmQuestion;
class TfmQuestionGroupSettings;
class TfmSelectObject;
class TItemTreeModel;

// "Тесты (редактирование)", the working window in which tests are written: on the left the
// complex tests with their tasks, on the right the simple tests with their groups and
// questions. Tests are created, changed, copied and deleted here; questions are edited in the
// question window, the settings of a test in the test settings dialog. The window shows the
// trees and holds the actions; what the actions and drops do is its controller's.
class TfmTestsEdit : public QWidget, public ITestsTreeView {
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

    TItemNode* CurrentNode(TestsTree tree) const override;

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

    QVariant NodeRole(const TItemNode& node, int column, int role, bool complexTree) const;

    TDragTreeView& Tree(TestsTree tree) const;
    TItemTreeModel& Model(TestsTree tree) const;
    std::vector<TItemNode*> SimpleSelection() const override;
    SelectionType SimpleSelectionType() const override;
    void Rebuild(TestsTree tree, IExaminerItem& item) override;
    void SelectAlone(TestsTree tree, TItemNode& node) override;
    void SelectSimpleNodes(const std::vector<TItemNode*>& nodes) override;
    bool IsExpanded(TestsTree tree, const TItemNode& node) const override;
    void SetExpanded(TestsTree tree, const TItemNode& node, bool expanded) override;
    bool Busy() const override;
    bool EditSettings(TQuestions& group, TTask* task) override;
    void EditQuestions(TQuestion& question, TQuestions& test) override;
    TQuestions* ChooseTaskSource(TQuestions& complex) override;
    void ShowImportReport(const QStringList& lines) override;

    TfmQuestion& questionWindow_;
    TfmQuestionGroupSettings& settings_;
    TfmSelectObject& selectObject_;
    const QWidget& area_;

    TItemTreeModel* complexModel_;
    TItemTreeModel* simpleModel_;
    TTestsTreeController controller_;
    TTestsTreeDrops drops_;
    QSplitter* splitter_ = nullptr;
    TDragTreeView* tvComplex_ = nullptr;
    TDragTreeView* tvSimple_ = nullptr;
    QToolBar* tbComplex_ = nullptr;
    QToolBar* tbSimple_ = nullptr;
    QMenu* pmComplex_ = nullptr;
    QMenu* pmSimple_ = nullptr;

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
    QAction* actSmpExportQuestions_;
    QAction* actSmpStatistics_;
    QAction* actSmpImportQuestions_;
    QAction* actSmpMoveUp_;
    QAction* actSmpMoveDown_;
    QAction* actSave_;
};

// Makes the main window able to open the tests tree (its action "Тесты"); the trees are
// reloaded each time it is brought to the front. Question windows made afterwards get the
// editing mode.
void registerTestsEdit();

}  // namespace kvalor
