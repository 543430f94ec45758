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

QString formatShortDate(const QDate& date) {
    QLocale locale;
    if (locale.language() == QLocale::C) {
        locale = QLocale(QLocale::Russian, QLocale::Russia);
    }
    return locale.toString(date, QLocale::ShortFormat);
}

}  // namespace kvalor
