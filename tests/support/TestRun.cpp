#include "support/TestRun.h"

#include "app/DataModule.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "support/GuiTest.h"

namespace kvalor {

void startTestRun(const QString& programFolder) {
    setProgramFolder(programFolder);
    TKvalor& root = kvalorRoot();
    root.Clear();
    root.Users().EnsureBuiltins();
    root.SetAutoSplitName(true);
    dataModule().SetRunMode(TRunMode::None);
}

void endTestRun() {
    processEvents();
    // A test that started a run must not leave it writing into a folder that is about to go.
    dataModule().ReleaseDataFile();
    kvalorRoot().Clear();
    dataModule().SetRunMode(TRunMode::None);
    setProgramFolder(QString());
}

}  // namespace kvalor
