#include "app/SplashScreen.h"

#include <algorithm>

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>

#include "ui/ProgramCaption.h"

namespace kvalor {

namespace {

// A sheet of questions with a tick, on a round badge.
void drawEmblem(QPainter& p, const QRectF& badge) {
    QRadialGradient glow(badge.center() - QPointF(badge.width() / 6, badge.height() / 6),
                         badge.width() * 0.75);
    glow.setColorAt(0, QColor(255, 255, 255));
    glow.setColorAt(1, QColor(205, 224, 240));
    p.setPen(QPen(QColor(240, 190, 60), 6));
    p.setBrush(glow);
    p.drawEllipse(badge);

    const QRectF sheet(badge.center().x() - badge.width() * 0.22,
                       badge.center().y() - badge.height() * 0.3, badge.width() * 0.44,
                       badge.height() * 0.6);
    p.setPen(QPen(QColor(40, 70, 110), 2.5));
    p.setBrush(Qt::white);
    p.drawRoundedRect(sheet, 6, 6);
    p.setPen(QPen(QColor(120, 150, 185), 4, Qt::SolidLine, Qt::RoundCap));
    for (int line = 0; line < 4; ++line) {
        const double y = sheet.top() + sheet.height() * (0.2 + 0.17 * line);
        p.drawLine(QPointF(sheet.left() + sheet.width() * 0.18, y),
                   QPointF(sheet.right() - sheet.width() * (line % 2 ? 0.3 : 0.15), y));
    }

    QPainterPath tick;
    tick.moveTo(sheet.left() + sheet.width() * 0.35, sheet.bottom() - sheet.height() * 0.05);
    tick.lineTo(sheet.left() + sheet.width() * 0.62, sheet.bottom() + sheet.height() * 0.15);
    tick.lineTo(sheet.right() + sheet.width() * 0.35, sheet.top() + sheet.height() * 0.35);
    p.setPen(QPen(QColor(30, 150, 70), 13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
}

QPixmap drawPicture() {
    QPixmap picture(TfmSplashScreen::kWidth, TfmSplashScreen::kHeight);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = picture.rect();

    QLinearGradient sky(area.topLeft(), area.bottomRight());
    sky.setColorAt(0, QColor(22, 52, 96));
    sky.setColorAt(1, QColor(24, 110, 140));
    p.fillRect(area, sky);

    // Faint rings behind the badge give the plain background some depth.
    p.setPen(QPen(QColor(255, 255, 255, 28), 2));
    p.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 4; ++ring) {
        p.drawEllipse(QPointF(150, 164), 90 + ring * 34, 90 + ring * 34);
    }

    drawEmblem(p, QRectF(60, 74, 180, 180));

    // The largest size at which the name fits beside the badge, whatever serif font is there.
    const QRectF titleArea(272, 80, 330, 150);
    QFont title(QStringLiteral("DejaVu Serif"));
    title.setBold(true);
    int pixels = 84;
    for (; pixels > 24; pixels -= 2) {
        title.setPixelSize(pixels);
        if (QFontMetricsF(title).horizontalAdvance(kProgramCaption) <= titleArea.width()) {
            break;
        }
    }
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(titleArea.translated(3, 3), Qt::AlignLeft | Qt::AlignVCenter, kProgramCaption);
    p.setPen(Qt::white);
    p.drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter, kProgramCaption);

    p.setPen(QPen(QColor(240, 190, 60), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(276, 224), QPointF(590, 224));

    p.setPen(QPen(QColor(255, 255, 255, 60), 2));
    p.drawRect(area.adjusted(1, 1, -1, -1));
    return picture;
}

}  // namespace

TfmSplashScreen::TfmSplashScreen(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), picture_(drawPicture()) {
    setFixedSize(kWidth, kHeight);
    // The picture covers every pixel: nothing needs erasing before it is painted.
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
}

void TfmSplashScreen::ShowProgress(std::uint64_t done, std::uint64_t total) {
    share_ =
        total == 0 ? 1.0 : std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    repaint();
}

void TfmSplashScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
    if (share_ > 0.0) {
        constexpr int kBarHeight = 4;
        painter.fillRect(
            QRect(2, kHeight - 2 - kBarHeight, static_cast<int>((kWidth - 4) * share_), kBarHeight),
            palette().color(QPalette::Highlight));
    }
}

}  // namespace kvalor
