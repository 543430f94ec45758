#pragma once

#include <functional>

#include "model/StudyList.h"

namespace kvalor {

class TfmKvalor;
class TQuestions;

// Opens the main window's results view on studies. The results windows register it at
// start-up, so that the examination opens the view without depending on them.
using ResultsOpener = std::function<void(TfmKvalor& mainWindow, const StudyView& studies)>;

void registerResultsOpener(ResultsOpener opener);
// Nothing happens while no results view is registered.
void openResultsView(TfmKvalor& mainWindow, const StudyView& studies);

// Opens the statistics window on a test over all of its studies; registered the same way, for
// the tests tree.
using StatisticsOpener = std::function<void(TfmKvalor& mainWindow, const TQuestions& test)>;

void registerStatisticsOpener(StatisticsOpener opener);
// Nothing happens while no statistics window is registered.
void openTestStatistics(TfmKvalor& mainWindow, const TQuestions& test);

}  // namespace kvalor
