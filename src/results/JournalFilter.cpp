#include "results/JournalFilter.h"

#include <cmath>
#include <limits>

#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Study.h"
#include "model/TaskList.h"

namespace kvalor {

bool SeesEveryStudy(const TCompetitor* viewer) {
    return viewer &&
           (viewer->Id() == AdministratorAccountId() || viewer->Id() == TeacherAccountId());
}

std::int64_t StudyDay(double stored) {
    // A damaged date far outside the calendar counts as no day at all of any filter.
    if (!std::isfinite(stored) || std::fabs(stored) > 1.0e9) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(std::trunc(stored));
}

bool JournalFilter::Passes(const TStudy& study) const {
    if (!SeesEveryStudy(viewer) && !(viewer && study.UserId() == viewer->Id())) {
        return false;
    }
    // Direct members only; a study without its account is in no group.
    if (group && !(study.User() && study.User()->Parent() == group)) {
        return false;
    }
    // Compared as the entry, never read: another window may have freed the chosen account.
    if (user && study.User() != user) {
        return false;
    }
    if (test && study.Test() != test) {
        return false;
    }
    const std::int64_t day = StudyDay(study.Date());
    if (fromDay && (fromOnwards ? day < *fromDay : day != *fromDay)) {
        return false;
    }
    return !toDay || day <= *toDay;
}

StudyView JournalFilter::Select(const TStudyList& studies) const {
    StudyView passed;
    for (int i = 0; i < studies.Count(); ++i) {
        if (TStudy& study = studies.StudyAt(i); Passes(study)) {
            passed.push_back(&study);
        }
    }
    return passed;
}

StudyView ListedStudies(StudyView studies, const TCompetitor* viewer) {
    if (!viewer || viewer->Id() == ApplicantAccountId()) {
        return {};
    }
    SortByIdText(studies, [](const TStudy* study) -> const Guid& { return study->UserId(); });
    if (!SeesEveryStudy(viewer)) {
        std::erase_if(studies,
                      [viewer](const TStudy* study) { return study->UserId() != viewer->Id(); });
    }
    return studies;
}

}  // namespace kvalor
