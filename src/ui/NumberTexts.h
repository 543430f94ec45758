#pragma once

#include <QString>

namespace kvalor {

// A percentage as the program shows it: two decimals with the system's decimal separator.
QString percentText(double value);
// A number as typed back into an input: as many decimals as it has, the system's decimal
// separator and no group separators.
QString decimalText(double value);

}  // namespace kvalor
