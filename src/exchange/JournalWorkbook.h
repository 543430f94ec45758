#pragma once

#include <QString>

#include "exchange/StudyExport.h"
#include "model/StudyList.h"

namespace kvalor {

// Writes the journal as a table: per test a title row, then one row per user with town,
// organisation, result and date; several results of one user for one test share the row,
// joined by backslashes. All cells are text. Into the given file, or a new file in the
// temporary folder when none is given; returns the file written. Raises kExcelInitMessage
// when the workbook cannot be written.
QString ExportJournal(const StudyView& studies, const QString& fileName = {});

}  // namespace kvalor
