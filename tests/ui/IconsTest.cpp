#include <vector>

#include <gtest/gtest.h>
#include <QDir>
#include <QImage>

#include "ui/Icons.h"

namespace kvalor {
namespace {

bool hasPaint(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0) {
                return true;
            }
        }
    }
    return false;
}

// Every picture of a set has the size, shows something and differs from the others, so that
// a window that shows the wrong index shows something else.
void expectDistinctPictures(const std::vector<QPixmap>& pictures, int size) {
    std::vector<QImage> images;
    for (const QPixmap& picture : pictures) {
        images.push_back(picture.toImage());
    }
    for (std::size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].size(), QSize(size, size)) << i;
        EXPECT_TRUE(hasPaint(images[i])) << i;
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_NE(images[i], images[j]) << i << " and " << j;
        }
    }
}

TEST(Icons, ExaminationPicturesAreDrawnAndDistinct) {
    std::vector<QPixmap> verdicts;
    for (int i = 0; i <= 4; ++i) {
        verdicts.push_back(verdictPicture(static_cast<VerdictPicture>(i)));
    }
    expectDistinctPictures(verdicts, 48);

    std::vector<QPixmap> results;
    for (int i = 0; i <= 2; ++i) {
        results.push_back(resultPicture(static_cast<ResultPicture>(i)));
    }
    expectDistinctPictures(results, 48);

    std::vector<QPixmap> buttons;
    for (int i = 0; i <= 9; ++i) {
        buttons.push_back(answerButtonPicture(static_cast<AnswerButtonPicture>(i)));
    }
    expectDistinctPictures(buttons, 24);
}

TEST(Icons, ActionsHaveThemeOrDrawnPictures) {
    EXPECT_EQ(QIcon::themeName(), "Adwaita");
    std::vector<QPixmap> drawn;
    for (int i = 0; i <= static_cast<int>(ActionIcon::Clear); ++i) {
        const auto kind = static_cast<ActionIcon>(i);
        EXPECT_FALSE(actionIcon(kind).pixmap(32).isNull()) << i;
        const QIcon fallback = themeIcon("kvalor-no-such-icon", kind);
        EXPECT_TRUE(fallback.name().isEmpty()) << i;
        drawn.push_back(fallback.pixmap(32));
    }
    expectDistinctPictures(drawn, 32);

    if (QDir("/usr/share/icons/Adwaita").exists()) {
        EXPECT_EQ(actionIcon(ActionIcon::Exit).pixmap(48).toImage(),
                  QIcon::fromTheme("application-exit").pixmap(48).toImage());
    }
}

// The most saturated colour in the picture: grey pictures read as disabled.
int strongestColour(const QImage& image) {
    int strongest = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.alpha() > 128) {
                strongest = std::max(strongest, colour.hsvSaturation());
            }
        }
    }
    return strongest;
}

TEST(Icons, ToolBarPicturesFillTheirSizeAndLookEnabled) {
    for (const ActionIcon kind : {ActionIcon::Examination, ActionIcon::Tests, ActionIcon::Users,
                                  ActionIcon::Journal, ActionIcon::Settings, ActionIcon::Exit}) {
        const QIcon icon = actionIcon(kind);
        for (const int size : {16, 24, 32, 48}) {
            EXPECT_EQ(icon.pixmap(size).size(), QSize(size, size))
                << static_cast<int>(kind) << " at " << size;
        }
    }
    // "Тестирование" starts the main work of the program: it must not look disabled.
    const QIcon examination = actionIcon(ActionIcon::Examination);
    EXPECT_GT(strongestColour(examination.pixmap(32).toImage()), 128);
    EXPECT_NE(examination.pixmap(32).toImage(), examination.pixmap(32, QIcon::Disabled).toImage());
}

}  // namespace
}  // namespace kvalor
