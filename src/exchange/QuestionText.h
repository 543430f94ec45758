#pragma once

#include <QByteArray>
#include <QString>

#include "exchange/QuestionFile.h"

namespace kvalor {

// Larger files are refused before they are read: a file of questions is a few hundred
// kilobytes even for thousands of questions.
inline constexpr qint64 kMaxQuestionFileBytes = 16 * 1024 * 1024;

enum class QuestionFormat { Gift, Aiken, MoodleXml };

// The text of a question file: UTF-8 with or without a byte-order mark, UTF-16 with one, and
// otherwise Windows-1251. Raises an error naming the file when the bytes are not text.
QString DecodeQuestionText(const QByteArray& bytes, const QString& fileName);

// A ".gift" file is GIFT; a text that starts as XML does, or any ".xml" file, is Moodle XML;
// otherwise Aiken when its "ANSWER:" lines outnumber its lines with braces, and GIFT when they
// do not.
QuestionFormat DetectQuestionFormat(const QString& text, const QString& fileName);

// Reads, decodes and parses a file of questions. Raises an error naming the file when it
// cannot be read, is too large, is not text or holds nothing that looks like a question.
QuestionFile ReadQuestionFile(const QString& fileName);

}  // namespace kvalor
