#include "app/ResultsOpener.h"

#include <utility>

namespace kvalor {

namespace {

template <class Opener>
Opener& registered() {
    static Opener opener;
    return opener;
}

}  // namespace

void registerResultsOpener(ResultsOpener opener) {
    registered<ResultsOpener>() = std::move(opener);
}

void openResultsView(TfmKvalor& mainWindow, const StudyView& studies) {
    if (const ResultsOpener& opener = registered<ResultsOpener>()) {
        opener(mainWindow, studies);
    }
}

void registerStatisticsOpener(StatisticsOpener opener) {
    registered<StatisticsOpener>() = std::move(opener);
}

void openTestStatistics(TfmKvalor& mainWindow, const TQuestions& test) {
    if (const StatisticsOpener& opener = registered<StatisticsOpener>()) {
        opener(mainWindow, test);
    }
}

}  // namespace kvalor
