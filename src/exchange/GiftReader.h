#pragma once

#include <QString>

#include "exchange/QuestionFile.h"

namespace kvalor {

// Reads questions in the GIFT format: questions separated by blank lines, "//" comment lines,
// "::name::" titles, "$CATEGORY:" paths, [html]/[moodle]/[plain]/[markdown] text formats, the
// escapes \~ \= \# \{ \} \: \\ \n, feedback after "#", "%50%" weights, answers over several
// lines and missing-word questions.
//
// Choices become one- or several-answer questions and true/false a one-answer question
// "Верно"/"Неверно"; a missing-word question keeps its sentence with "_____" for the blank.
// Short answers, numbers, matching, essays and descriptions have no Kvalor counterpart and are
// left out with a note, as are malformed questions. Names and feedback are dropped, markup is
// reduced to plain text.
QuestionFile ReadGift(const QString& text);

}  // namespace kvalor
