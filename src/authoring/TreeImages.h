#pragma once

#include <cstdint>

#include <QPixmap>

namespace kvalor {

// The picture beside a question in the trees of tests, by its question type: a radio button
// for one answer, a check box for several answers, arrows for a sequence.
QPixmap questionTypePicture(std::uint8_t questionType);

}  // namespace kvalor
