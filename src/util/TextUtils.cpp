#include "util/TextUtils.h"

#include "util/DateTime.h"

#include <QLocale>
#include <cmath>

namespace kvalor {

namespace {

QString withoutSpaces(const QString& value) {
    QString text = value;
    text.remove(u' ');
    return text;
}

}  // namespace

double VariantToFloat(const QString& value, double defaultValue) {
    QString text = withoutSpaces(value);
    text.replace(u',', u'.');
    bool ok = false;
    const double result = QLocale::c().toDouble(text, &ok);
    // "nan" and "inf" parse, but no pass mark or threshold could ever be compared with them.
    return ok && std::isfinite(result) ? result : defaultValue;
}

int VariantToInt(const QString& value, int defaultValue) {
    bool ok = false;
    const int result = QLocale::c().toInt(withoutSpaces(value), &ok);
    return ok ? result : defaultValue;
}

QStringList SplitAtChars(const QString& text, const QString& separators) {
    QStringList lines;
    QString current;
    for (const QChar c : text) {
        if (separators.contains(c)) {
            lines.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    if (!current.isEmpty()) {
        lines.append(current);
    }
    return lines;
}

std::string TrimText(const std::string& text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && blank(text[first])) {
        ++first;
    }
    while (last > first && blank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

QString TrimText(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= u' ') {
        ++first;
    }
    while (last > first && text.at(last - 1).unicode() <= u' ') {
        --last;
    }
    return text.mid(first, last - first);
}

QString FormatPercent(double value) {
    return displayLocale().toString(value, 'f', 2);
}

}  // namespace kvalor
