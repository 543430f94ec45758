#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QStringList>
#include <QWidget>

#include "model/StudyList.h"
#include "results/JournalFilter.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QRadioButton;
class QToolBar;
class QToolButton;
class QTreeView;

namespace kvalor {

class JournalModel;
class TCompetitor;
class TCompetitors;
class TfmKvalor;
class TQuestions;

// "Журнал тестирования": the studies of the journal listed for the account that looks,
// filtered, sorted by a column, deleted, and handed to the results view or reviewed question
// by question. A working window of the main window.
class TfmJournal : public QWidget {
    Q_OBJECT
public:
    explicit TfmJournal(TfmKvalor& mainWindow, QWidget* parent = nullptr);
    ~TfmJournal() override;

    // Each time the main window shows the journal: the filter lists filled, the filter
    // controls reset, every study the current account may see listed.
    void FormShow();
    void UpdateActions();

    // The studies of the last filter applied; empty while none is.
    const StudyView& FilteredStudies() const { return filtered_; }
    JournalModel* Model() const { return model_; }
    // Dropping studies on the results view lists them as this action does.
    QAction* actViewAsList() const { return actViewAsList_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ConnectControls();

    // The filter lists, sorted for display. With keepChoice an entry chosen before stays
    // chosen; each returns whether its choice was lost because its entry is gone.
    bool FillGroups(bool keepChoice);
    // The accounts of the chosen group's subtree, or of the whole tree; the built-in
    // applicant only on show.
    bool FillCompetitors(bool withApplicant, bool keepChoice);
    // The tests of the kind chosen by the radio buttons.
    bool FillTests(bool keepChoice);
    // The lists again from the data as it is now; the captions of the lists whose choice was
    // lost.
    QStringList RefreshFilterLists();
    void ResetFilterControls();
    TCompetitors* SelectedGroup() const;
    TCompetitor* SelectedCompetitor() const;
    TQuestions* SelectedTest() const;
    // Frames a date field that holds no date in red, with a hint of the form expected.
    void MarkDate(QLineEdit& field, bool valid);
    // nullopt when a date field holds no date: the field is marked and the user told.
    std::optional<JournalFilter> ReadFilter();

    // Shows the studies for the current account (see ListedStudies).
    void List(const StudyView& studies);
    void ColumnClicked(int column, Qt::SortOrder order);
    // The selected rows in order; with a limit, only enough of them to tell whether there are
    // that many.
    std::vector<int> SelectedRows(std::size_t limit = SIZE_MAX) const;
    StudyView SelectedStudies() const;
    void ListDoubleClicked();
    void DateEdited(QLineEdit& field);
    void StudyRemoved(const TStudy& study);
    // Lets go of the studies freed since: their rows and their places in the filtered list.
    void DropRemovedStudies();
    // Studies of other computers: the lines of those that the filter applied passes.
    void StudiesArrived(const StudyView& studies);

    void actViewAsListExecute();
    void actViewAsStudyExecute();
    // The listed studies that the account looking may see, as a workbook.
    void actExportExecute();
    void actDeleteExecute();
    void actSetFilterExecute();
    void actClearFilterExecute();
    // "Статистика" in the list's menus, for staff: the test of the focused row over the rows
    // listed.
    void AddStatisticsAction();
    void actStatisticsExecute();

    TfmKvalor& mainWindow_;
    StudyView filtered_;
    // The filter of filtered_, for the studies that arrive later.
    std::optional<JournalFilter> applied_;
    std::vector<const TStudy*> removed_;
    JournalModel* model_;
    bool competitorsWithApplicant_ = true;

    QComboBox* cbCompetitorList_ = nullptr;
    QComboBox* cbCompetitor_ = nullptr;
    QRadioButton* rbComplex_ = nullptr;
    QRadioButton* rbSimple_ = nullptr;
    QComboBox* cbTests_ = nullptr;
    QCheckBox* chbFromDate_ = nullptr;
    QLineEdit* edFromDate_ = nullptr;
    QCheckBox* chbToDate_ = nullptr;
    QLineEdit* edToDate_ = nullptr;
    QTreeView* lvStudies_ = nullptr;
    QToolBar* tbJournal_ = nullptr;
    QToolButton* tbResults_ = nullptr;
    QMenu* pmList_ = nullptr;
    QAction* actViewAsList_;
    QAction* actViewAsStudy_;
    QAction* actExport_;
    QAction* actDelete_;
    QAction* actClose_;
    QAction* actSetFilter_;
    QAction* actClearFilter_;
    QAction* actStatistics_ = nullptr;
    StudyRemovalWatch removalWatch_;
};

// Makes the main window able to open the journal (its action "Журнал").
void registerJournal();

}  // namespace kvalor
