#pragma once

#include <QString>

#include "exchange/QuestionFile.h"

namespace kvalor {

// Reads questions in the Aiken format: the question text, the options "A." or "A)" each on a
// line of its own, then "ANSWER: X". A blank line or the ANSWER line ends a question; a line
// after an option that is none of these continues the option. Every question has one right
// answer; one without options, without an ANSWER line or naming an option that is not there
// is left out with a note.
QuestionFile ReadAiken(const QString& text);

// Whether a text of unknown format reads as Aiken: it has "ANSWER:" lines, more of them than
// lines with a "{".
bool LooksLikeAiken(const QString& text);

}  // namespace kvalor
