#pragma once

#include <string>

#include <QCollatorSortKey>
#include <QString>

namespace kvalor {

// Data strings are kept as the Windows-1251 bytes they are stored with. These two functions
// are the only way between those bytes and Qt's text: lossless for all 256 byte values
// (the unassigned 0x98 maps to U+0098 and back); characters outside the code page become "?".
QString fromCp1251(const std::string& bytes);
std::string toCp1251(const QString& text);

// Compares two names the way lists are sorted: Russian collation, letter case ignored,
// whatever the system locale. Negative, zero or positive like strcmp.
int compareNames(const std::string& a, const std::string& b);
int compareNames(const QString& a, const QString& b);
bool sameName(const std::string& a, const std::string& b);
// Compares two names the way they are shown in a list: as compareNames, but with digits read
// as numbers ("5 А класс" before "10 А класс"). Only for display: duplicates are told by
// compareNames, and stored orders never change by it.
int compareDisplayNames(const std::string& a, const std::string& b);
int compareDisplayNames(const QString& a, const QString& b);
// A key that compares as compareDisplayNames does, for sorting many names by one key each.
QCollatorSortKey displaySortKey(const QString& name);

}  // namespace kvalor
