#pragma once

#include <QString>

namespace kvalor {

// The start of a run as the tests of windows need it: the files of the run in the test's own
// folder, the three built-in accounts alone, full names split automatically, no run mode.
void startTestRun(const QString& programFolder);
// Lets pending events run, empties the root object and goes back to the folder of the
// executable.
void endTestRun();

}  // namespace kvalor
