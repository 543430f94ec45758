#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace kvalor {

// Stored date-times are doubles counting days since 30 December 1899, the fraction being the
// local time of day. These are the only conversions between them and Qt's types.
double toStoredDateTime(const QDateTime& dateTime);
QDateTime fromStoredDateTime(double stored);

// The system's short date format; Russian when the system locale is "C".
QString formatShortDate(const QDate& date);

}  // namespace kvalor
