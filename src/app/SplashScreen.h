#pragma once

#include <QPixmap>
#include <QWidget>
#include <cstdint>

namespace kvalor {

// The picture on screen while the program starts: a borderless window centred on the screen.
class TfmSplashScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 635;
    static constexpr int kHeight = 328;

    explicit TfmSplashScreen(QWidget* parent = nullptr);

    // Draws a bar along the bottom edge for the advance of the load, at once.
    void ShowProgress(std::uint64_t done, std::uint64_t total);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The picture, drawn once: the program's name beside its emblem.
    QPixmap picture_;
    double share_ = 0.0;
};

}  // namespace kvalor
