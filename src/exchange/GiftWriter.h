#pragma once

#include <vector>

#include <QByteArray>

#include "exchange/QuestionExport.h"

namespace kvalor {

// The questions as GIFT text in UTF-8: a "$CATEGORY:" line wherever the category changes, then
// each choice as "[plain]text {…}" with "=" for the right answer of a one-answer question and
// "%weight%" on the answers of a several-answer one (positive weights adding up to 100 over the
// right answers, -100 on the wrong ones). Sequences have no GIFT form; the caller leaves them out.
QByteArray WriteGift(const std::vector<ExportQuestion>& questions);

}  // namespace kvalor
