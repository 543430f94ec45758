#pragma once

#include <QString>

#include "exchange/StudyExport.h"
#include "model/StudyList.h"
#include "util/Progress.h"

namespace kvalor {

// Writes the journal as a table fit for printing: per test a title row, then one row per user
// with town, organisation, result and date; several results of one user for one test share
// the row, joined by backslashes as text, a single result is a number and a date. Into the
// given file, or a new file in the temporary folder when none is given; returns the file
// written. Progress counts the studies written. Raises an error before writing anything when
// the table would not fit on a sheet, and kExcelInitMessage when the workbook cannot be
// written.
QString ExportJournal(const StudyView& studies, const QString& fileName = {},
                      const Progress& progress = {});

}  // namespace kvalor
