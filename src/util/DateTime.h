#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace kvalor {

// Stored date-times are doubles counting days since 30 December 1899, the fraction being the
// local time of day. These are the only conversions between them and Qt's types.
double toStoredDateTime(const QDateTime& dateTime);
QDateTime fromStoredDateTime(double stored);

// The locale of the dates and numbers the program shows: the system's, Russian when the
// system locale is "C".
QLocale displayLocale();
// The short date format of that locale.
QString formatShortDate(const QDate& date);
// The date of a stored date-time in the short format.
QString FormatStudyDate(double stored);
// A date typed in the order of the short format, also with one-digit days and months and
// with a two- or a four-digit year whatever the format has; a two-digit year is taken in the
// hundred years around today (up to 20 years ahead of it). An invalid date when the text is
// no date.
QDate parseShortDate(const QString& text, const QDate& today = QDate::currentDate());
// The character between day, month and year in the short format.
QChar shortDateSeparator();

}  // namespace kvalor
