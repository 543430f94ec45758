#include <gtest/gtest.h>

#include <QDateTime>
#include <algorithm>
#include <limits>
#include <numeric>

#include "util/DateTime.h"
#include "util/Random.h"
#include "util/TextUtils.h"

using namespace kvalor;

TEST(TextUtils, LenientNumbers) {
    EXPECT_DOUBLE_EQ(VariantToFloat(QString::fromUtf8("1 234,5"), -1), 1234.5);
    EXPECT_DOUBLE_EQ(VariantToFloat("1234.5", -1), 1234.5);
    EXPECT_DOUBLE_EQ(VariantToFloat("abc", -1), -1);
    EXPECT_DOUBLE_EQ(VariantToFloat("", 7), 7);
    // Not-a-number and infinities parse, but no percentage could ever reach them.
    for (const char* unreadable : {"nan", "NaN", "inf", "-inf", "Infinity", "1e999"}) {
        EXPECT_DOUBLE_EQ(VariantToFloat(unreadable, -1), -1) << unreadable;
    }
    EXPECT_EQ(VariantToInt(" 1 2 ", 0), 12);
    EXPECT_EQ(VariantToInt("-3", 0), -3);
    EXPECT_EQ(VariantToInt("3.5", 9), 9);
    EXPECT_EQ(VariantToInt("", 9), 9);
}

TEST(TextUtils, SplitAtCharsKeepsInnerEmptyLinesOnly) {
    EXPECT_EQ(SplitAtChars("Petrov Ivan Ilyich", " "), QStringList({"Petrov", "Ivan", "Ilyich"}));
    EXPECT_EQ(SplitAtChars("a,b.", ",."), QStringList({"a", "b"}));
    EXPECT_EQ(SplitAtChars(" a  b", " "), QStringList({"", "a", "", "b"}));
    EXPECT_TRUE(SplitAtChars("", " ").isEmpty());
}

TEST(TextUtils, TrimText) {
    EXPECT_EQ(TrimText(std::string(" \t\xC0\xE1 \r\n")), "\xC0\xE1");
    EXPECT_EQ(TrimText(std::string("   ")), "");
    EXPECT_EQ(TrimText(QString(" x y ")), QString("x y"));
    EXPECT_EQ(TrimText(QString()), QString());
}

TEST(RandomSelectionTest, DistinctIndexesAndPermutations) {
    std::mt19937 fixed(42);
    setRandomGenerator(&fixed);
    for (int round = 0; round < 50; ++round) {
        auto pick = RandomSelection(5, 3);
        ASSERT_EQ(pick.size(), 3u);
        std::sort(pick.begin(), pick.end());
        EXPECT_EQ(std::adjacent_find(pick.begin(), pick.end()), pick.end());
        EXPECT_GE(pick.front(), 0);
        EXPECT_LT(pick.back(), 5);
        for (int k : {-1, 5, 9}) {
            auto all = RandomSelection(5, k);
            std::sort(all.begin(), all.end());
            EXPECT_EQ(all, std::vector<int>({0, 1, 2, 3, 4}));
        }
    }
    EXPECT_TRUE(RandomSelection(0, -1).empty());
    EXPECT_TRUE(RandomSelection(4, 0).empty());

    // Every index turns up in every place: the draw is not stuck on one order.
    std::vector<std::vector<int>> seen(4, std::vector<int>(4, 0));
    for (int round = 0; round < 400; ++round) {
        const auto perm = RandomSelection(4, -1);
        for (int place = 0; place < 4; ++place) {
            ++seen[place][perm[place]];
        }
    }
    for (const auto& place : seen) {
        for (int count : place) {
            EXPECT_GT(count, 40);
        }
    }
    setRandomGenerator(nullptr);
}

TEST(RandomSelectionTest, QuickDrawsOfTheProcessGeneratorDiffer) {
    // One generator seeded once per process: draws made within one clock tick still differ
    // (two equal permutations of 50 would come up once in 50! draws).
    EXPECT_NE(RandomSelection(50, -1), RandomSelection(50, -1));
}

TEST(StoredDateTime, DaysSince1899WithTimeAsFraction) {
    const QDateTime noon(QDate(1900, 1, 1), QTime(12, 0));
    EXPECT_DOUBLE_EQ(toStoredDateTime(noon), 2.5);
    const QDateTime t(QDate(2026, 12, 9), QTime(8, 30, 15, 250));
    const double stored = toStoredDateTime(t);
    EXPECT_EQ(fromStoredDateTime(stored), t);
    EXPECT_FALSE(fromStoredDateTime(std::numeric_limits<double>::quiet_NaN()).isValid());
}
