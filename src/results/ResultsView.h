#pragma once

#include <cstdint>
#include <memory>

#include <QWidget>

#include "app/DataModule.h"
#include "model/StudyList.h"

class QAction;
class QDropEvent;
class QHBoxLayout;
class QPushButton;
class QTreeView;

namespace kvalor {

class ResultsModel;
class TfmJournal;
class TfmKvalor;

// "Результаты тестирования": studies in detail, one tree per study with the user, the result,
// every question put with its outcome and group, and under each question its answers with the
// user's choices and, for the built-in staff accounts, the key. A working window of the main
// window; the journal and the examination setup hand it their studies.
class TfmResultsView : public QWidget {
    Q_OBJECT
public:
    // Without the main window, whose export settings dialog it uses, nothing is exported.
    explicit TfmResultsView(TfmKvalor* mainWindow = nullptr, QWidget* parent = nullptr);
    ~TfmResultsView() override;

    // Shows the studies (owned by the root object's journal). Showing the studies already shown,
    // to the same viewer, keeps the rows as they are (expanded questions stay expanded).
    void ShowStudies(StudyView studies);
    // The studies shown; a study that the journal frees leaves this list and the tree first.
    const StudyView& Studies() const { return studies_; }

    ResultsModel* Model() const { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Who looks decides the answer order (the order shown in testing run mode) and the key.
    struct Viewer {
        TRunMode runMode = TRunMode::None;
        bool staff = false;
        bool operator==(const Viewer&) const = default;
    };

    // A button at the bottom right for the action, left of those added before it.
    QPushButton* AddActionButton(QAction* action);
    void StudyRemoved(const TStudy& study);
    // The studies with the questions chosen in the export settings, as a workbook.
    void actExportExecute();
    // The journal whose list the dragged rows come from; nullptr for any other drag, which is
    // refused.
    static TfmJournal* JournalOfDrag(const QDropEvent& event);

    TfmKvalor* mainWindow_;
    StudyView studies_;
    Viewer viewer_;
    bool shown_ = false;
    QTreeView* vstResults_;
    ResultsModel* model_;
    QHBoxLayout* pnButtons_;
    QAction* actExport_;
    QAction* actClose_;
    StudyRemovalWatch removalWatch_;
};

// Makes the main window able to open the results view by its class name, and the examination
// able to open it on its studies.
void registerResultsView();

}  // namespace kvalor
