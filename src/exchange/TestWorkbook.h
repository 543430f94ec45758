#pragma once

#include <QString>

namespace kvalor {

class TQuestions;

// Writes a simple test for printing: its name and the names of its groups as titles, every
// question framed with its running number and, when asked, its answers with the key ("+" for
// a right choice, the place of a sequence answer). Into the given file, or a new file in the
// temporary folder when none is given; returns the file written. Raises kExcelInitMessage
// when the workbook cannot be written.
QString ExportTest(const TQuestions& test, bool withAnswers, const QString& fileName = {});

}  // namespace kvalor
