#pragma once

#include <cstdint>
#include <optional>

#include "model/StudyList.h"

namespace kvalor {

class TCompetitor;
class TCompetitors;
class TQuestions;
class TStudy;

// The journal's filter: who looks and what the filter panel asks for. Dates are whole days
// counted as stored (days since 30 December 1899).
struct JournalFilter {
    const TCompetitor* viewer = nullptr;
    const TCompetitors* group = nullptr;
    const TCompetitor* user = nullptr;
    const TQuestions* test = nullptr;
    std::optional<std::int64_t> fromDay;
    // "начиная с ": from that day on; otherwise that day only.
    bool fromOnwards = false;
    // Applies only while "по" is checked.
    std::optional<std::int64_t> toDay;

    bool Passes(const TStudy& study) const;
    // The studies of the list that pass, in the list's order.
    StudyView Select(const TStudyList& studies) const;
};

// Whether the account is the built-in administrator or teacher, who see every study.
bool SeesEveryStudy(const TCompetitor* viewer);
// The whole day of a stored date-time.
std::int64_t StudyDay(double stored);
// The rows of the journal for the viewer: nothing without one or for the built-in applicant;
// otherwise the studies grouped by account (by the text of the account id, stably), only the
// viewer's own unless he sees every study.
StudyView ListedStudies(StudyView studies, const TCompetitor* viewer);

}  // namespace kvalor
