#include "ui/Icons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionButton>

namespace kvalor {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kGreen(0, 150, 0);
const QColor kMaroon(128, 0, 0);
const QColor kRed(200, 30, 30);
const QColor kBlue(40, 90, 190);
const QColor kOutline(70, 70, 70);
const QColor kGrey(150, 150, 150);

QPixmap blankPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// Draws on a design grid of design x design units, scaled to a square of size pixels.
template <class Draw>
QPixmap drawPicture(int size, qreal design, Draw draw) {
    QPixmap pixmap = blankPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / design, size / design);
    draw(painter);
    return pixmap;
}

QPen roundPen(const QColor& color, qreal width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawPolygon(QPainter& p, const QColor& fill, std::initializer_list<QPointF> points) {
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPolygon(QPolygonF(QList<QPointF>(points)));
}

void drawSheet(QPainter& p, const QRectF& r, int lineCount) {
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(kGrey, 1.5));
    for (int i = 0; i < lineCount; ++i) {
        const qreal y = r.top() + 5 + i * 4;
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
    }
}

void drawCross(QPainter& p, const QColor& color, const QRectF& r, qreal width) {
    p.setPen(roundPen(color, width));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void drawFunnel(QPainter& p) {
    drawPolygon(p, kBlue, {{4, 5}, {28, 5}, {19, 17}, {19, 27}, {13, 24}, {13, 17}});
}

// Action pictures on a 32 by 32 grid.
void drawAction(QPainter& p, ActionIcon kind) {
    switch (kind) {
        case ActionIcon::Tests:
            drawSheet(p, QRectF(7, 3, 18, 26), 4);
            p.setPen(roundPen(kGreen, 2.5));
            p.drawPolyline(QPolygonF({QPointF(12, 23), QPointF(15, 26), QPointF(21, 19)}));
            break;
        case ActionIcon::Users:
            p.setPen(Qt::NoPen);
            p.setBrush(kGrey);
            p.drawEllipse(QPointF(21, 9), 4.5, 4.5);
            p.drawPie(QRectF(13, 15, 16, 14), 0, 180 * 16);
            p.setBrush(kBlue);
            p.drawEllipse(QPointF(12, 13), 5.5, 5.5);
            p.drawPie(QRectF(2, 20, 20, 18), 0, 180 * 16);
            break;
        case ActionIcon::Examination:
            p.setPen(Qt::NoPen);
            p.setBrush(kGreen);
            p.drawEllipse(QRectF(2, 2, 28, 28));
            drawPolygon(p, Qt::white, {{12, 9}, {12, 23}, {23, 16}});
            break;
        case ActionIcon::Journal:
            p.setPen(QPen(kOutline, 1));
            p.setBrush(QColor(150, 90, 40));
            p.drawRect(QRectF(6, 3, 20, 26));
            p.setBrush(QColor(100, 55, 20));
            p.drawRect(QRectF(6, 3, 4, 26));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(13, 8, 10, 5));
            break;
        case ActionIcon::Settings:
            p.setPen(Qt::NoPen);
            p.setBrush(kGrey.darker(130));
            for (int i = 0; i < 8; ++i) {
                p.save();
                p.translate(16, 16);
                p.rotate(45.0 * i);
                p.drawRect(QRectF(-3, -14, 6, 6));
                p.restore();
            }
            p.drawEllipse(QPointF(16, 16), 10, 10);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(16, 16), 4, 4);
            break;
        case ActionIcon::Exit:
            p.setPen(roundPen(kRed, 3));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(6, 7, 20, 20), 120 * 16, 300 * 16);
            p.drawLine(QPointF(16, 4), QPointF(16, 16));
            break;
        case ActionIcon::Import:
            p.setPen(roundPen(kOutline, 2.5));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(
                QPolygonF({QPointF(5, 20), QPointF(5, 27), QPointF(27, 27), QPointF(27, 20)}));
            p.setPen(roundPen(kBlue, 4));
            p.drawLine(QPointF(16, 4), QPointF(16, 14));
            drawPolygon(p, kBlue, {{9, 13}, {23, 13}, {16, 22}});
            break;
        case ActionIcon::RunMode:
            p.setPen(roundPen(QColor(190, 150, 20), 3));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(10, 16), 6, 6);
            p.drawLine(QPointF(16, 16), QPointF(28, 16));
            p.drawLine(QPointF(23, 16), QPointF(23, 21));
            p.drawLine(QPointF(27, 16), QPointF(27, 20));
            break;
        case ActionIcon::Add:
            p.setPen(Qt::NoPen);
            p.setBrush(kGreen);
            p.drawRoundedRect(QRectF(13, 4, 6, 24), 1.5, 1.5);
            p.drawRoundedRect(QRectF(4, 13, 24, 6), 1.5, 1.5);
            break;
        case ActionIcon::Delete:
            drawCross(p, kRed, QRectF(8, 8, 16, 16), 5);
            break;
        case ActionIcon::Edit:
            p.translate(16, 16);
            p.rotate(45);
            p.setPen(QPen(kOutline, 1));
            p.setBrush(QColor(240, 190, 40));
            p.drawRect(QRectF(-3.5, -13, 7, 19));
            p.setBrush(QColor(240, 150, 160));
            p.drawRect(QRectF(-3.5, -16, 7, 3));
            drawPolygon(p, QColor(230, 210, 170), {{-3.5, 6}, {3.5, 6}, {0, 13}});
            break;
        case ActionIcon::Save:
            p.setPen(Qt::NoPen);
            p.setBrush(kNavy);
            p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(9, 4, 14, 9));
            p.setBrush(kGrey);
            p.drawRect(QRectF(10, 19, 12, 9));
            break;
        case ActionIcon::Export:
            drawSheet(p, QRectF(4, 3, 16, 24), 3);
            p.setPen(roundPen(kGreen, 3));
            p.drawLine(QPointF(13, 21), QPointF(23, 21));
            drawPolygon(p, kGreen, {{21, 15}, {21, 27}, {29, 21}});
            break;
        case ActionIcon::Close:
            p.setPen(QPen(kOutline, 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4, 6, 24, 20));
            p.setBrush(kNavy);
            p.drawRect(QRectF(4, 6, 24, 5));
            drawCross(p, kRed, QRectF(12, 14, 8, 8), 2.5);
            break;
        case ActionIcon::Copy:
            drawSheet(p, QRectF(4, 3, 15, 19), 3);
            drawSheet(p, QRectF(13, 10, 15, 19), 3);
            break;
        case ActionIcon::Paste:
            p.setPen(QPen(kOutline, 1));
            p.setBrush(QColor(150, 90, 40));
            p.drawRect(QRectF(6, 5, 20, 24));
            drawSheet(p, QRectF(9, 9, 14, 17), 3);
            p.setPen(Qt::NoPen);
            p.setBrush(kGrey);
            p.drawRect(QRectF(12, 3, 8, 4));
            break;
        case ActionIcon::Filter:
            drawFunnel(p);
            break;
        case ActionIcon::Clear:
            drawFunnel(p);
            drawCross(p, kRed, QRectF(20, 19, 8, 8), 3);
            break;
    }
}

QString themeName(ActionIcon kind) {
    switch (kind) {
        case ActionIcon::Tests:
            return QStringLiteral("accessories-text-editor");
        case ActionIcon::Users:
            return QStringLiteral("system-users");
        case ActionIcon::Examination:
            // The theme's play sign is a pale grey that reads as disabled: the drawn one.
            return {};
        case ActionIcon::Journal:
            return QStringLiteral("x-office-address-book");
        case ActionIcon::Settings:
            return QStringLiteral("preferences-system");
        case ActionIcon::Exit:
            return QStringLiteral("application-exit");
        case ActionIcon::Import:
            return QStringLiteral("document-open");
        case ActionIcon::RunMode:
            return QStringLiteral("dialog-password");
        case ActionIcon::Add:
            return QStringLiteral("list-add");
        case ActionIcon::Delete:
            return QStringLiteral("edit-delete");
        case ActionIcon::Edit:
            return QStringLiteral("document-properties");
        case ActionIcon::Save:
            return QStringLiteral("document-save");
        case ActionIcon::Export:
            return QStringLiteral("document-save-as");
        case ActionIcon::Close:
            return QStringLiteral("window-close");
        case ActionIcon::Copy:
            return QStringLiteral("edit-copy");
        case ActionIcon::Paste:
            return QStringLiteral("edit-paste");
        case ActionIcon::Filter:
            return QStringLiteral("edit-find");
        case ActionIcon::Clear:
            return QStringLiteral("edit-clear");
    }
    return {};
}

// The sizes of the program's tool bars, buttons and menus.
constexpr int kIconSizes[] = {16, 24, 32, 48};

QIcon drawnIcon(ActionIcon kind) {
    QIcon icon;
    for (const int size : kIconSizes) {
        icon.addPixmap(drawPicture(size, 32, [kind](QPainter& p) { drawAction(p, kind); }));
    }
    return icon;
}

// Verdict and result pictures on a 48 by 48 grid.
void drawBadge(QPainter& p, const QColor& color) {
    p.setPen(QPen(color.darker(130), 2));
    p.setBrush(color);
    p.drawEllipse(QRectF(3, 3, 42, 42));
}

void drawRight(QPainter& p) {
    drawBadge(p, kGreen);
    p.setPen(roundPen(Qt::white, 6));
    p.drawPolyline(QPolygonF({QPointF(13, 25), QPointF(21, 33), QPointF(35, 16)}));
}

void drawWrong(QPainter& p) {
    drawBadge(p, kMaroon);
    drawCross(p, Qt::white, QRectF(15, 15, 18, 18), 6);
}

void drawClock(QPainter& p) {
    p.setPen(QPen(kNavy, 3));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(4, 4, 40, 40));
    p.save();
    p.translate(24, 24);
    p.setPen(roundPen(kNavy, 2));
    for (int hour = 0; hour < 12; ++hour) {
        p.drawLine(QPointF(0, -16), QPointF(0, hour % 3 == 0 ? -12 : -14));
        p.rotate(30);
    }
    p.restore();
    p.setPen(roundPen(kNavy, 3));
    p.drawLine(QPointF(24, 24), QPointF(24, 13));
    p.setPen(roundPen(kRed, 2));
    p.drawLine(QPointF(24, 24), QPointF(33, 29));
}

// Arrow buttons on a 24 by 24 grid.
void drawArrow(QPainter& p, bool up, const QColor& color) {
    if (up) {
        drawPolygon(p, color, {{5, 16}, {19, 16}, {12, 7}});
    } else {
        drawPolygon(p, color, {{5, 8}, {19, 8}, {12, 17}});
    }
}

void drawHeldArrow(QPainter& p, bool up) {
    // A sunken square: dark edges at the top and left, light ones at the bottom and right.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(215, 215, 215));
    p.drawRect(QRectF(1, 1, 22, 22));
    p.setPen(QPen(kOutline, 1));
    p.drawLine(QPointF(1, 1), QPointF(23, 1));
    p.drawLine(QPointF(1, 1), QPointF(1, 23));
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(QPointF(1, 23), QPointF(23, 23));
    p.drawLine(QPointF(23, 1), QPointF(23, 23));
    p.translate(1, 1);
    drawArrow(p, up, kNavy);
}

// Radio buttons and check boxes as the program's style draws them, so that they match the
// check boxes of the other windows.
QPixmap styledIndicator(QStyle::PrimitiveElement element, QStyle::PixelMetric widthMetric,
                        QStyle::PixelMetric heightMetric, bool on) {
    constexpr int kSize = 24;
    QPixmap pixmap = blankPixmap(kSize);
    QStyle* style = QApplication::style();
    const int width = style->pixelMetric(widthMetric);
    const int height = style->pixelMetric(heightMetric);
    QStyleOptionButton option;
    option.rect = QRect((kSize - width) / 2, (kSize - height) / 2, width, height);
    option.state = QStyle::State_Enabled | (on ? QStyle::State_On : QStyle::State_Off);
    option.palette = QApplication::palette();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    style->drawPrimitive(element, &option, &painter);
    return pixmap;
}

}  // namespace

void initIconTheme() {
    const QString systemIcons = QStringLiteral("/usr/share/icons");
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains(systemIcons)) {
        paths.append(systemIcons);
        QIcon::setThemeSearchPaths(paths);
    }
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

QIcon actionIcon(ActionIcon kind) {
    return themeIcon(themeName(kind), kind);
}

// A theme has its pictures in a few sizes (many only in 24 and 48), and an icon never enlarges
// one: a tool bar of 32 would show the 24 picture. Every size the program uses is therefore
// made from the nearest picture of at least that size.
QIcon sizedThemeIcon(const QIcon& theme) {
    const QList<QSize> available = theme.availableSizes();
    QIcon icon;
    for (const int size : kIconSizes) {
        // A scalable picture is drawn in any size; else the smallest that is large enough, or
        // the largest there is.
        QSize source(size, size);
        QSize larger;
        QSize largest;
        for (const QSize& candidate : available) {
            if (candidate.width() >= size &&
                (!larger.isValid() || candidate.width() < larger.width())) {
                larger = candidate;
            }
            if (!largest.isValid() || candidate.width() > largest.width()) {
                largest = candidate;
            }
        }
        if (larger.isValid()) {
            source = larger;
        } else if (largest.isValid()) {
            source = largest;
        }
        QPixmap pixmap = theme.pixmap(source);
        if (pixmap.size() != QSize(size, size)) {
            pixmap = pixmap.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon themeIcon(const QString& themeName, ActionIcon fallback) {
    if (!themeName.isEmpty() && QIcon::hasThemeIcon(themeName)) {
        return sizedThemeIcon(QIcon::fromTheme(themeName));
    }
    return drawnIcon(fallback);
}

QPixmap verdictPicture(VerdictPicture picture) {
    return drawPicture(48, 48, [picture](QPainter& p) {
        switch (picture) {
            case VerdictPicture::NoAnswer:
                drawBadge(p, kGrey);
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::white);
                p.drawRoundedRect(QRectF(13, 21, 22, 6), 2, 2);
                break;
            case VerdictPicture::Right:
                drawRight(p);
                break;
            case VerdictPicture::Wrong:
                drawWrong(p);
                break;
            case VerdictPicture::StateMessage:
                drawBadge(p, kNavy);
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::white);
                p.drawEllipse(QRectF(20.5, 9, 7, 7));
                p.drawRoundedRect(QRectF(21, 19, 6, 19), 2, 2);
                break;
            case VerdictPicture::Clock:
                drawClock(p);
                break;
        }
    });
}

QPixmap resultPicture(ResultPicture picture) {
    return drawPicture(48, 48, [picture](QPainter& p) {
        switch (picture) {
            case ResultPicture::None:
                p.setPen(QPen(kGrey, 3));
                p.setBrush(Qt::NoBrush);
                p.drawEllipse(QRectF(5, 5, 38, 38));
                break;
            case ResultPicture::Passed:
                drawRight(p);
                break;
            case ResultPicture::Failed:
                drawWrong(p);
                break;
        }
    });
}

QPixmap answerButtonPicture(AnswerButtonPicture picture) {
    using P = AnswerButtonPicture;
    switch (picture) {
        case P::RadioOff:
        case P::RadioOn:
            return styledIndicator(QStyle::PE_IndicatorRadioButton,
                                   QStyle::PM_ExclusiveIndicatorWidth,
                                   QStyle::PM_ExclusiveIndicatorHeight, picture == P::RadioOn);
        case P::CheckOff:
        case P::CheckOn:
            return styledIndicator(QStyle::PE_IndicatorCheckBox, QStyle::PM_IndicatorWidth,
                                   QStyle::PM_IndicatorHeight, picture == P::CheckOn);
        default:
            break;
    }
    return drawPicture(24, 24, [picture](QPainter& p) {
        switch (picture) {
            case P::DownDisabled:
            case P::UpDisabled:
                drawArrow(p, picture == P::UpDisabled, kGrey);
                break;
            case P::DownEnabled:
            case P::UpEnabled:
                drawArrow(p, picture == P::UpEnabled, kNavy);
                break;
            case P::DownHeld:
            case P::UpHeld:
                drawHeldArrow(p, picture == P::UpHeld);
                break;
            default:
                break;
        }
    });
}

QPixmap treePicture(int index) {
    constexpr int kSize = 16;
    switch (index) {
        case 5:
            return drawPicture(kSize, 48, drawRight);
        case 6:
            return drawPicture(kSize, 48, drawWrong);
        case 8:
            return drawPicture(kSize, 48, [](QPainter& p) {
                drawBadge(p, kGrey);
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::white);
                p.drawRoundedRect(QRectF(12, 20, 24, 8), 2, 2);
            });
        default:
            break;
    }
    if (index < 0 || index > 10 || index == 7) {
        return {};
    }
    return drawPicture(kSize, 16, [index](QPainter& p) {
        switch (index) {
            case 0:
            case 1:
                p.setPen(QPen(kOutline, 1.2));
                p.setBrush(Qt::white);
                p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
                if (index == 1) {
                    p.setPen(Qt::NoPen);
                    p.setBrush(kGreen);
                    p.drawEllipse(QRectF(5, 5, 6, 6));
                }
                break;
            case 2:
            case 3:
                p.setPen(QPen(kOutline, 1.2));
                p.setBrush(Qt::white);
                p.drawRect(QRectF(2.5, 2.5, 11, 11));
                if (index == 3) {
                    p.setPen(roundPen(kGreen, 2));
                    p.drawPolyline(QPolygonF({QPointF(5, 8), QPointF(7, 11), QPointF(11, 5)}));
                }
                break;
            case 4:
                p.setPen(Qt::NoPen);
                for (int line = 0; line < 3; ++line) {
                    p.setBrush(kNavy);
                    p.drawRect(QRectF(2, 2.5 + line * 4.5, 2.5, 2.5));
                    p.setBrush(kGrey);
                    p.drawRect(QRectF(6, 3 + line * 4.5, 8, 1.5));
                }
                break;
            case 9:
                p.setPen(roundPen(kGreen, 2.5));
                p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
                break;
            case 10:
                drawCross(p, kRed, QRectF(4, 4, 8, 8), 2.5);
                break;
            default:
                break;
        }
    });
}

}  // namespace kvalor
