#include "results/Journal.h"

#include <QAction>
#include <QMenu>
#include <QTreeView>

#include "model/Study.h"
#include "results/JournalModel.h"
#include "results/StatisticsWindow.h"
#include "results/StudyTexts.h"
#include "ui/ErrorGuard.h"
#include "ui/ObjectNames.h"

// The journal's way to the statistics window: the test of the focused row, over the rows listed.

namespace kvalor {

void TfmJournal::AddStatisticsAction() {
    actStatistics_ = Named(new QAction(QStringLiteral("Статистика"), this), "actStatistics");
    pmList_->addAction(actStatistics_);
    connect(actStatistics_, &QAction::triggered, this, guard([this] { actStatisticsExecute(); }));
    // The menu is the only way to the action: it is brought up to date as the menu opens.
    connect(pmList_, &QMenu::aboutToShow, this, [this] {
        const TStudy* focused = model_->StudyAt(lvStudies_->currentIndex().row());
        actStatistics_->setEnabled(CurrentUserIsStaff() && focused && focused->Test());
    });
}

void TfmJournal::actStatisticsExecute() {
    DropRemovedStudies();
    if (const TStudy* focused = model_->StudyAt(lvStudies_->currentIndex().row());
        focused && focused->Test()) {
        ShowTestStatistics(mainWindow_, *focused->Test(), model_->Studies());
    }
}

}  // namespace kvalor
