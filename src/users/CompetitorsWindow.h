#pragma once

#include <QWidget>

class QAction;
class QToolBar;
class QToolButton;
class QTreeView;

namespace kvalor {

class IExaminerItem;
class TCompetitorsModel;
class TfmCompetitorEdit;
class TfmKvalor;

// The users window "Соискатели", a working window of the main window: the accounts and groups
// of the users list as a tree, where accounts and groups are added, renamed, edited and deleted
// (with their results), accounts are moved between groups by dragging, the list is exchanged
// with a file and the whole data file is saved.
class TfmCompetitors : public QWidget {
    Q_OBJECT
public:
    TfmCompetitors(TfmKvalor& mainWindow, TfmCompetitorEdit& editor, QWidget* parent = nullptr);
    ~TfmCompetitors() override;

    // The tree filled anew from the users list, as on every show.
    void FormShow();
    // Enables the actions from the selection and the focused node.
    void UpdateActions();

    TCompetitorsModel& Model() const { return *model_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ConnectControls();
    void ApplyFontSetting(int pointSize);
    // Makes the node the focused and only selected one and scrolls to it.
    void SelectNode(const QModelIndex& node);

    void actAddCompetitorExecute();
    void actAddGroupExecute();
    void actEditExecute();
    void actDeleteExecute();
    void actCompetitorsSaveToFileExecute();
    void actCompetitorsLoadFromFileExecute();
    void actSaveToFileExecute();

    // A drag is a single node or accounts only, dropped right on a node.
    bool MayDrop(const QModelIndex& target) const;
    // Moves the selected accounts into the collection of the target, sorts the list and
    // shows it again with the first of them selected.
    void DropSelection(const QModelIndex& target);
    // Fills the tree anew, as it was: the same top-level nodes expanded, the item (if any)
    // selected and in view.
    void ShowAgain(const IExaminerItem* select);

    TfmCompetitorEdit& editor_;
    TCompetitorsModel* model_;
    QTreeView* tvCompetitors_ = nullptr;
    QToolBar* tbActions_ = nullptr;
    QToolButton* btnList_ = nullptr;
    QToolButton* btnAdd_ = nullptr;
    QAction* actAddCompetitor_;
    QAction* actAddGroup_;
    QAction* actEdit_;
    QAction* actDelete_;
    QAction* actCompetitorsSaveToFile_;
    QAction* actCompetitorsLoadFromFile_;
    QAction* actSaveToFile_;
    QAction* actClose_;
};

// Makes the main window able to open the users window (its action "Соискатели").
void registerCompetitors();

}  // namespace kvalor
