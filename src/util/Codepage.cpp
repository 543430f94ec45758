#include "util/Codepage.h"

#include <QCollator>
#include <QHash>
#include <array>

namespace kvalor {

namespace {

// Unicode code points of the bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F in order.
constexpr std::array<char16_t, 64> kHighTable = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

char16_t toUnicode(unsigned char byte) {
    if (byte < 0x80) {
        return byte;
    }
    if (byte >= 0xC0) {
        return static_cast<char16_t>(0x0410 + (byte - 0xC0));
    }
    return kHighTable[byte - 0x80];
}

const QHash<char16_t, char>& reverseTable() {
    static const QHash<char16_t, char> table = [] {
        QHash<char16_t, char> t;
        for (int b = 0x80; b < 0x100; ++b) {
            t.insert(toUnicode(static_cast<unsigned char>(b)), static_cast<char>(b));
        }
        return t;
    }();
    return table;
}

QCollator& nameCollator() {
    static QCollator collator = [] {
        QCollator c{QLocale(QLocale::Russian, QLocale::Russia)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

QCollator& displayCollator() {
    static QCollator collator = [] {
        QCollator c = nameCollator();
        c.setNumericMode(true);
        return c;
    }();
    return collator;
}

}  // namespace

QString fromCp1251(const std::string& bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out[i] = QChar(toUnicode(static_cast<unsigned char>(bytes[i])));
    }
    return text;
}

std::string toCp1251(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    const auto& reverse = reverseTable();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80) {
            bytes.push_back(static_cast<char>(c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            ++i;  // one character outside the code page, one "?"
        }
        const auto it = reverse.constFind(c);
        bytes.push_back(it == reverse.constEnd() ? '?' : it.value());
    }
    return bytes;
}

int compareNames(const QString& a, const QString& b) {
    return nameCollator().compare(a, b);
}

int compareNames(const std::string& a, const std::string& b) {
    return compareNames(fromCp1251(a), fromCp1251(b));
}

bool sameName(const std::string& a, const std::string& b) {
    return compareNames(a, b) == 0;
}

int compareDisplayNames(const QString& a, const QString& b) {
    return displayCollator().compare(a, b);
}

QCollatorSortKey displaySortKey(const QString& name) {
    return displayCollator().sortKey(name);
}

int compareDisplayNames(const std::string& a, const std::string& b) {
    return compareDisplayNames(fromCp1251(a), fromCp1251(b));
}

}  // namespace kvalor
