#include "ui/NumberTexts.h"

#include <QLocale>

namespace kvalor {

namespace {

QString withSystemSeparator(QString text) {
    return text.replace(u'.', QLocale::system().decimalPoint());
}

}  // namespace

QString percentText(double value) {
    return withSystemSeparator(QString::number(value, 'f', 2));
}

QString decimalText(double value) {
    return withSystemSeparator(QString::number(value, 'g', 15));
}

}  // namespace kvalor
