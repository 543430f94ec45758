#pragma once

#include <QString>

#include "exchange/QuestionFile.h"

namespace kvalor {

// Elements nested deeper than this refuse the file: the format itself goes five levels deep,
// and a reader that followed any depth could be made to exhaust its stack.
inline constexpr int kMaxXmlDepth = 32;

// Reads questions in the Moodle XML format: <quiz> with <question> elements.
//
// Categories become group paths as in GIFT. "multichoice" becomes a one- or several-answer
// question (a right answer is one with a positive fraction), "truefalse" a one-answer question
// "Верно"/"Неверно", "ordering" a sequence in the order of its answers' fractions. Fractions
// that give partial credit are noted, since Kvalor scores a question all or nothing. Every other
// type is left out with its name. HTML, Markdown and plain texts become plain text; images and
// embedded files are dropped with a note, never written anywhere.
//
// Raises an error naming the file when the XML is malformed or cut off, carries a DTD (whose
// entities could expand without end), nests deeper than kMaxXmlDepth or has no <quiz> root.
QuestionFile ReadMoodleXml(const QString& text, const QString& fileName);

// Whether a text of unknown format reads as XML: it starts with "<?xml", "<!" or "<quiz".
bool LooksLikeXml(const QString& text);

}  // namespace kvalor
