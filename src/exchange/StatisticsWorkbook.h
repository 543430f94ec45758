#pragma once

#include <QString>

#include "analysis/TestStatistics.h"

namespace kvalor {

// Writes the figures of a test as a workbook of three sheets: "Статистика" (the summary, the
// histogram of the percent), "Вопросы" (one row a question, flagged ones marked) and "Ответы"
// (one row an answer of a choice question, with the share of studies that chose it). Into the
// given file, or a new file in the temporary folder when none is given; returns the file
// written. Raises an error before writing when a sheet would not hold the rows, and
// kExcelInitMessage when the workbook cannot be written.
QString ExportStatistics(const TestFigures& figures, const QString& fileName = {});

}  // namespace kvalor
