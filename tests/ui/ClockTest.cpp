#include <gtest/gtest.h>

#include "support/FakeClock.h"
#include "ui/Clock.h"

namespace kvalor {
namespace {

TEST(Clock, FakeClockIsInstalledForItsLifetimeAndCountsAcrossMidnight) {
    const QDateTime start(QDate(2024, 12, 31), QTime(23, 59, 30));
    {
        FakeClock clock(start);
        EXPECT_EQ(appClock().now(), start);
        clock.advance(45);
        EXPECT_EQ(appClock().now(), QDateTime(QDate(2025, 1, 1), QTime(0, 0, 15)));
        EXPECT_EQ(start.secsTo(appClock().now()), 45);
        clock.advanceMs(1500);
        EXPECT_EQ(start.secsTo(appClock().now()), 46);  // whole seconds
        {
            FakeClock inner;
            EXPECT_EQ(appClock().now(), QDateTime(QDate(2024, 3, 1), QTime(10, 0)));
        }
        EXPECT_EQ(appClock().now().time(), QTime(0, 0, 16, 500));
        clock.set(start);
        EXPECT_EQ(appClock().now(), start);
    }
    // Back to the system clock.
    EXPECT_LE(qAbs(appClock().now().secsTo(QDateTime::currentDateTime())), 5);
}

}  // namespace
}  // namespace kvalor
