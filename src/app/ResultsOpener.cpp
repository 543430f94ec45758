#include "app/ResultsOpener.h"

#include <utility>

namespace kvalor {

namespace {

ResultsOpener& registeredOpener() {
    static ResultsOpener opener;
    return opener;
}

}  // namespace

void registerResultsOpener(ResultsOpener opener) {
    registeredOpener() = std::move(opener);
}

void openResultsView(TfmKvalor& mainWindow, const StudyView& studies) {
    if (const ResultsOpener& opener = registeredOpener()) {
        opener(mainWindow, studies);
    }
}

}  // namespace kvalor
