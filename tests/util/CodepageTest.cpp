#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <QStringList>

#include "util/Codepage.h"

using namespace kvalor;

TEST(Codepage, AllByteValuesSurviveTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const QString text = fromCp1251(all);
    EXPECT_EQ(text.size(), 256);
    EXPECT_EQ(toCp1251(text), all);
    EXPECT_EQ(text.at(0x98).unicode(), 0x0098);
}

TEST(Codepage, RussianTextMapsToItsLetters) {
    // "Ёжик №1" in Windows-1251
    const std::string bytes(
        "\xA8\xE6\xE8\xEA \xB9"
        "1");
    EXPECT_EQ(fromCp1251(bytes), QString::fromUtf8("Ёжик №1"));
    EXPECT_EQ(toCp1251(QString::fromUtf8("Ёжик №1")), bytes);
    // Characters outside the code page become "?", one per character.
    EXPECT_EQ(toCp1251(QString::fromUtf8("a\u4E2Db\U0001F600c")), "a?b?c");
}

TEST(Codepage, NamesSortInRussianAlphabetIgnoringCase) {
    std::vector<std::string> names = {
        toCp1251(QString::fromUtf8("яков")), toCp1251(QString::fromUtf8("Борис")),
        toCp1251(QString::fromUtf8("ёлкин")), toCp1251(QString::fromUtf8("Анна")),
        toCp1251(QString::fromUtf8("Елена"))};
    std::sort(names.begin(), names.end(),
              [](const auto& a, const auto& b) { return compareNames(a, b) < 0; });
    QStringList sorted;
    for (const auto& n : names) {
        sorted << fromCp1251(n);
    }
    EXPECT_EQ(sorted.join(u','), QString::fromUtf8("Анна,Борис,Елена,ёлкин,яков"));
    EXPECT_TRUE(
        sameName(toCp1251(QString::fromUtf8("ИВАНОВ")), toCp1251(QString::fromUtf8("иванов"))));
    EXPECT_FALSE(sameName("abc", "abd"));
}

TEST(Codepage, DisplayedNamesReadDigitsAsNumbers) {
    const struct {
        const char* first;
        const char* second;
    } cases[] = {{"5 А класс", "10 А класс"}, {"Война5", "Война46"}, {"вопрос 9", "Вопрос 10"}};
    for (const auto& c : cases) {
        const std::string a = toCp1251(QString::fromUtf8(c.first));
        const std::string b = toCp1251(QString::fromUtf8(c.second));
        EXPECT_LT(compareDisplayNames(a, b), 0) << c.first;
        EXPECT_GT(compareDisplayNames(b, a), 0) << c.first;
    }
}
