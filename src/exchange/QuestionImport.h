#pragma once

#include <vector>

#include <QString>
#include <QStringList>

#include "exchange/QuestionFile.h"

namespace kvalor {

class TQuestions;

// What an import did, for the report.
struct ImportReport {
    TQuestions* test = nullptr;  // the test that received the questions; none when none came
    bool newTest = false;
    int imported = 0;
    int groupsCreated = 0;
    std::vector<ImportNote> notes;

    int Skipped() const;
    int Altered() const;
};

// Puts the questions of a file into a simple test (or a group of one), in one step: every
// question and group is made before the first is linked in. Category paths become nested
// groups, found by name where the test already has them and made where it has not; questions
// without a category go into the test itself, and a first level named like the test stands for
// the test. The test is renumbered. Raises "Вопросы можно
// импортировать только в простой тест" for any other target.
ImportReport ImportQuestions(const QuestionFile& file, TQuestions& test);

// Reads a GIFT, Aiken or Moodle XML file and imports it into test, or, when test is null, into a
// new simple test named newTestName (the file's name without extension when that is empty),
// appended to simpleTests only when it receives at least one question. A file that cannot be
// read raises its error and changes nothing.
ImportReport ImportQuestionFile(const QString& fileName, TQuestions& simpleTests, TQuestions* test,
                                const QString& newTestName = QString());
// The same for a file already read, so that a caller can read several files before importing
// any; fileName only names the new test.
ImportReport ImportQuestionFile(const QuestionFile& file, const QString& fileName,
                                TQuestions& simpleTests, TQuestions* test,
                                const QString& newTestName = QString());

// The simple test of that name (letter case ignored) among the simple tests, or nullptr.
TQuestions* FindSimpleTest(const TQuestions& simpleTests, const QString& name);

// The report as lines of text: the counts, then one line per note.
QStringList ReportLines(const ImportReport& report);

}  // namespace kvalor
