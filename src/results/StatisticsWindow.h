#pragma once

#include <vector>

#include <QWidget>

#include "analysis/TestStatistics.h"
#include "model/StudyList.h"

class QAction;
class QChart;
class QChartView;
class QFormLayout;
class QGridLayout;
class QLabel;
class QPointF;
class QSortFilterProxyModel;
class QTableView;

namespace kvalor {

class StatisticsModel;
class TfmKvalor;

// "Статистика теста": how a class did in a test and which questions to look at again. The
// summary of the percents with the grades and the reliability, a histogram of the percent with
// the pass mark or the grade thresholds, the questions in a sortable table (a double click or
// Enter shows a question with the share of studies that chose each answer) and a chart of
// facility against discrimination. A working window of the main window; it keeps the figures
// it was given and nothing of the data, so results and questions deleted meanwhile do not
// concern it.
class TfmStatistics : public QWidget {
    Q_OBJECT
public:
    explicit TfmStatistics(QWidget* parent = nullptr);
    ~TfmStatistics() override;

    void ShowFigures(TestFigures figures);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The point size of the program's windows, and the arrangement that fits it.
    void ApplyFontSetting();
    void FillSummary();
    QChart* HistogramChart() const;
    QChart* ScatterChart();
    // The chart takes the window's font; the view owns it from now on.
    void SetChart(QChartView& view, QChart* chart);
    // The question of a row of the table (as sorted), with its answers.
    void ShowQuestion(int row);
    // The table rows of the questions at a point of the chart.
    std::vector<int> RowsAt(const QPointF& point) const;
    // The questions at a point of the chart, by number and first words.
    QString QuestionsAt(const QPointF& point) const;
    void SelectQuestionAt(const QPointF& point);
    void actExportExecute();

    TestFigures figures_;
    // Table row of each point of the chart, in the order the points were added.
    std::vector<int> pointRows_;
    StatisticsModel* model_;
    QSortFilterProxyModel* sorted_;
    QFormLayout* summary_;
    QGridLayout* grid_ = nullptr;
    QLabel* lbLegend_;
    QTableView* tvQuestions_;
    QChartView* chvHistogram_;
    QChartView* chvScatter_;
    QAction* actExport_;
    QAction* actClose_;
};

// Staff only: shows the figures of the test over those of the studies that are of it in the
// main window's statistics window, or says that there are none.
void ShowTestStatistics(TfmKvalor& mainWindow, const TQuestions& test, const StudyView& studies);

// Makes the main window able to host the statistics window, and the tests tree able to open it
// on a test (see openTestStatistics).
void registerStatisticsWindow();

}  // namespace kvalor
