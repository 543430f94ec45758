#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeView>

#include "BenchApplication.h"
#include "ResultsBenchData.h"
#include "app/MainWindow.h"
#include "results/Journal.h"
#include "results/JournalModel.h"
#include "results/ResultsModel.h"
#include "results/ResultsView.h"

using namespace kvalor;

namespace {

using bench::ensureApplication;

// The journal of 200,000 studies opened by the teacher: filter lists, listing and the first
// screen of rows.
void BM_JournalOpen(benchmark::State& state) {
    ensureApplication();
    TKvalor& root = kvalorRoot();
    bench::fillJournal(root, 60, 40, 3000, static_cast<int>(state.range(0)), 2);
    root.SetCurrentUser(root.Users().Teacher());
    TfmKvalor mainWindow;
    for (auto _ : state) {
        TfmJournal journal(mainWindow);
        journal.resize(1000, 700);
        journal.show();
        journal.FormShow();
        QApplication::processEvents();
        benchmark::DoNotOptimize(journal.Model()->rowCount());
    }
    root.Clear();
}
BENCHMARK(BM_JournalOpen)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(3);

// A click on a column header of that journal.
void BM_JournalSort(benchmark::State& state) {
    ensureApplication();
    TKvalor& root = kvalorRoot();
    bench::fillJournal(root, 60, 40, 3000, 200000, 2);
    root.SetCurrentUser(root.Users().Teacher());
    TfmKvalor mainWindow;
    TfmJournal journal(mainWindow);
    journal.FormShow();
    Qt::SortOrder order = Qt::AscendingOrder;
    for (auto _ : state) {
        journal.Model()->SortRows(static_cast<int>(state.range(0)), order);
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
        benchmark::DoNotOptimize(journal.Model()->StudyAt(0));
    }
    root.Clear();
}
BENCHMARK(BM_JournalSort)
    ->Arg(JournalModel::ColUser)
    ->Arg(JournalModel::ColTest)
    ->Arg(JournalModel::ColResult)
    ->Arg(JournalModel::ColDate)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

// The results view opened with 1,000 studies of 50 questions, up to its first screen.
void BM_ResultsViewOpen(benchmark::State& state) {
    ensureApplication();
    TKvalor& root = kvalorRoot();
    bench::fillJournal(root, 20, 50, 500, static_cast<int>(state.range(0)), 50);
    root.SetCurrentUser(root.Users().Teacher());
    const StudyView studies = root.Studies().View();
    for (auto _ : state) {
        TfmResultsView view;
        view.show();
        view.ShowStudies(studies);
        QApplication::processEvents();
        benchmark::DoNotOptimize(view.Model()->rowCount());
    }
    root.Clear();
}
BENCHMARK(BM_ResultsViewOpen)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
