#include <gtest/gtest.h>

#include <QImage>
#include <QPalette>

#include "app/SplashScreen.h"

using namespace kvalor;

namespace {

// The bar along the bottom edge grows with the load's advance and leaves the rest of the
// picture as it is.
TEST(SplashScreen, LoadProgressFillsTheBarAlongTheBottom) {
    TfmSplashScreen splash;
    const QColor bar = splash.palette().color(QPalette::Highlight);
    const int y = TfmSplashScreen::kHeight - 4;
    const int left = 10;
    const int right = TfmSplashScreen::kWidth - 10;
    const QImage picture = splash.grab().toImage();
    ASSERT_NE(picture.pixelColor(left, y), bar);
    ASSERT_NE(picture.pixelColor(right, y), bar);

    struct Case {
        std::uint64_t done, total;
        bool leftFilled, rightFilled;
    };
    for (const Case& c :
         {Case{0, 10, false, false}, Case{1, 2, true, false}, Case{10, 10, true, true},
          Case{0, 0, true, true}, Case{30, 10, true, true}}) {
        splash.ShowProgress(c.done, c.total);
        const QImage shown = splash.grab().toImage();
        EXPECT_EQ(shown.pixelColor(left, y) == bar, c.leftFilled) << c.done << "/" << c.total;
        EXPECT_EQ(shown.pixelColor(right, y) == bar, c.rightFilled) << c.done << "/" << c.total;
        // Above the bar the picture stays.
        EXPECT_EQ(shown.pixelColor(left, y - 10), picture.pixelColor(left, y - 10));
    }
}

}  // namespace
