#pragma once

#include <QString>

namespace kvalor {

// A number as typed back into an input: as many decimals as it has, the decimal separator
// every other figure of the program shows and no group separators.
QString decimalText(double value);

}  // namespace kvalor
