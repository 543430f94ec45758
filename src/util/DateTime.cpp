#include "util/DateTime.h"

#include <QLocale>
#include <QRegularExpression>
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

QDate parseShortDate(const QString& text, const QDate& today) {
    const QLocale locale = displayLocale();
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    // The order of day, month and year in the format; a format with month names is read as
    // the locale reads it.
    QString order;
    for (const QChar c : format) {
        if ((c == u'd' || c == u'M' || c == u'y') && !order.contains(c)) {
            order += c;
        }
    }
    if (order.size() != 3 || format.contains(QLatin1String("MMM"))) {
        return locale.toDate(text.trimmed(), format);
    }
    static const QRegularExpression kDate(
        QStringLiteral("^\\s*(\\d{1,4})\\D(\\d{1,4})\\D(\\d{1,4})\\s*$"));
    const QRegularExpressionMatch match = kDate.match(text);
    if (!match.hasMatch()) {
        return {};
    }
    int day = 0;
    int month = 0;
    int year = 0;
    for (int i = 0; i < 3; ++i) {
        const QString digits = match.captured(i + 1);
        const int value = digits.toInt();
        if (order[i] == u'y') {
            if (digits.size() == 2) {
                const int latest = today.year() + 20;
                year = latest - ((latest - value) % 100 + 100) % 100;
            } else if (digits.size() == 4) {
                year = value;
            } else {
                return {};
            }
        } else if (digits.size() > 2) {
            return {};
        } else {
            (order[i] == u'd' ? day : month) = value;
        }
    }
    return QDate(year, month, day);
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
