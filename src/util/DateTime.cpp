#include "util/DateTime.h"

#include <QLocale>
#include <cmath>

namespace kvalor {

namespace {

const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;

}  // namespace

double toStoredDateTime(const QDateTime& dateTime) {
    const QDateTime local = dateTime.toLocalTime();
    const double days = static_cast<double>(kEpoch.daysTo(local.date()));
    const double ms = static_cast<double>(local.time().msecsSinceStartOfDay());
    // Before the epoch the fraction counts away from zero, as the stored format has it.
    return days >= 0 ? days + ms / kMsPerDay : days - ms / kMsPerDay;
}

QDateTime fromStoredDateTime(double stored) {
    if (!std::isfinite(stored) || std::fabs(stored) > 3.0e6) {
        return {};
    }
    const double whole = std::trunc(stored);
    const auto ms = static_cast<int>(std::llround(std::fabs(stored - whole) * kMsPerDay));
    const QDate date = kEpoch.addDays(static_cast<qint64>(whole));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(std::min(ms, 86399999)));
}

QLocale displayLocale() {
    QLocale locale;
    if (locale.language() == QLocale::C) {
        locale = QLocale(QLocale::Russian, QLocale::Russia);
    }
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

QString formatShortDate(const QDate& date) {
    return displayLocale().toString(date, QLocale::ShortFormat);
}

QString FormatStudyDate(double stored) {
    return formatShortDate(fromStoredDateTime(stored).date());
}

QDate parseShortDate(const QString& text) {
    const QLocale locale = displayLocale();
    const QString trimmed = text.trimmed();
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QDate date = locale.toDate(trimmed, format);
    if (!date.isValid()) {
        // "1.2.2005" is as good a date as "01.02.2005".
        QString lenient = format;
        lenient.replace(QLatin1String("dd"), QLatin1String("d"));
        lenient.replace(QLatin1String("MM"), QLatin1String("M"));
        date = locale.toDate(trimmed, lenient);
    }
    return date;
}

QChar shortDateSeparator() {
    for (const QChar c : displayLocale().dateFormat(QLocale::ShortFormat)) {
        if (!c.isLetter() && c != QLatin1Char('\'') && !c.isSpace()) {
            return c;
        }
    }
    return QLatin1Char('.');
}

}  // namespace kvalor
