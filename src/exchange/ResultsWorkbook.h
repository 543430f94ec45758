#pragma once

#include <QString>

#include "exchange/StudyExport.h"
#include "model/StudyList.h"
#include "util/Progress.h"

namespace kvalor {

// Which questions of each study the results export writes (the boxes of the export settings),
// and whether the answer key goes with them.
struct ResultsExportOptions {
    bool right = true;
    bool wrong = true;
    bool unanswered = true;
    bool all = true;
    // Only for the administration and the built-in staff accounts.
    bool showKey = false;
};

// Writes the studies in detail: per test a title, per users group a heading, per study the
// user, date and result, then the chosen questions with their outcome and the answers in the
// order shown, the user's choices marked "+" or "-" and, when allowed, the key; set up to
// print one page wide. Into the given file, or a new file in the temporary folder when none
// is given; returns the file written. Progress counts the studies written. Raises an error
// before writing anything when no study can be listed or the sheet would not hold the rows,
// and kExcelInitMessage when the workbook cannot be written.
QString ExportResults(const StudyView& studies, const ResultsExportOptions& options,
                      const QString& fileName = {}, const Progress& progress = {});

}  // namespace kvalor
