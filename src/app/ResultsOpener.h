#pragma once

#include <functional>

#include "model/StudyList.h"

namespace kvalor {

class TfmKvalor;

// Opens the main window's results view on studies. The results windows register it at
// start-up, so that the examination opens the view without depending on them.
using ResultsOpener = std::function<void(TfmKvalor& mainWindow, const StudyView& studies)>;

void registerResultsOpener(ResultsOpener opener);
// Nothing happens while no results view is registered.
void openResultsView(TfmKvalor& mainWindow, const StudyView& studies);

}  // namespace kvalor
