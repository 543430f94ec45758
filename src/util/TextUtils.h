#pragma once

#include <QString>
#include <QStringList>
#include <string>

namespace kvalor {

// Lenient number parsing of what a user typed: spaces are dropped, "," and "." both count as
// the decimal separator. Anything that does not convert to a finite number gives the default.
double VariantToFloat(const QString& value, double defaultValue);
int VariantToInt(const QString& value, int defaultValue);

// Every character of the set becomes a line break, and the text is split into lines:
// a break at the very end gives no extra line, one at the start or two adjacent ones give
// empty lines.
QStringList SplitAtChars(const QString& text, const QString& separators);

// A percentage with two decimals in the display locale ("%.2f").
QString FormatPercent(double value);

// The text without surrounding blanks and control characters.
std::string TrimText(const std::string& text);
QString TrimText(const QString& text);

}  // namespace kvalor
