#include "ui/NumberTexts.h"

#include "util/DateTime.h"

namespace kvalor {

QString decimalText(double value) {
    // The same separator as the percentages and dates of the journal, also under the "C" locale.
    return QString::number(value, 'g', 15).replace(u'.', displayLocale().decimalPoint());
}

}  // namespace kvalor
