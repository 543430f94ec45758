#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "exchange/QuestionFile.h"

namespace kvalor {

class TQuestions;

enum class ExportFormat { MoodleXml, Gift };

// A question as the writers take it: texts in Unicode, a sequence's answers in the right order.
struct ExportQuestion {
    QStringList category;  // the test's name, then the groups down to the question's
    QString text;
    std::uint8_t type = 0;
    bool allowMix = true;
    std::vector<DraftAnswer> answers;
};

// A question of the test that the file does not hold.
struct ExportNote {
    int number = 0;  // the question's running number in the test
    QString firstWords;
    QString reason;
};

struct ExportReport {
    int written = 0;
    std::vector<ExportNote> notes;
};

// What both writers share: the category path as platforms write it ("$course$/Тест/Группа",
// a "/" in a name doubled), and a right answer's share of the mark in percent when there are
// that many right answers ("100", "50", "33.33333").
QString WrittenCategory(const QStringList& path);
QString RightShare(int rightAnswers);

// ".xml" is Moodle XML, ".gift" and ".txt" GIFT; nothing for any other suffix.
std::optional<ExportFormat> ExportFormatOf(const QString& fileName);

// Writes the questions of a simple test, in item order, as a file that learning platforms
// import: the groups become categories "$course$/<test>/<group>/…", choices keep their keys,
// and sequences become ordering questions in Moodle XML. A question the format cannot hold
// (a sequence in GIFT) or that has no valid key is left out and noted. An existing file is
// replaced only once the new one is complete. Raises an error when the test has no question
// to write or the file cannot be written.
ExportReport ExportQuestions(const TQuestions& test, const QString& fileName, ExportFormat format);

// The report as lines of text: the count, then one line per question left out.
QStringList ExportReportLines(const ExportReport& report);

}  // namespace kvalor
