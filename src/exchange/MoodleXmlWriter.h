#pragma once

#include <vector>

#include <QByteArray>

#include "exchange/QuestionExport.h"

namespace kvalor {

// The questions as a Moodle XML <quiz> in UTF-8: a category question wherever the category
// changes, choices as "multichoice" (fractions adding up to 100 over the right answers; the
// wrong answers of a several-answer question take -100 so that choosing one costs the mark, as
// in Kvalor) and sequences as "ordering" graded all or nothing, the fractions giving the places.
// Texts are written as HTML with their special characters escaped.
QByteArray WriteMoodleXml(const std::vector<ExportQuestion>& questions);

}  // namespace kvalor
