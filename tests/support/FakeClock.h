#pragma once

#include <QDateTime>

#include "ui/Clock.h"

namespace kvalor {

// A clock that stands still until the test moves it. It installs itself for its lifetime and
// puts the previous clock back afterwards.
class FakeClock : public Clock {
public:
    // 1 March 2024, 10:00 local time unless told otherwise.
    explicit FakeClock(const QDateTime& start = QDateTime(QDate(2024, 3, 1), QTime(10, 0)));
    ~FakeClock() override;
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    QDateTime now() const override { return now_; }

    void set(const QDateTime& now) { now_ = now; }
    void advance(qint64 seconds) { now_ = now_.addSecs(seconds); }
    void advanceMs(qint64 milliseconds) { now_ = now_.addMSecs(milliseconds); }

private:
    QDateTime now_;
    Clock* previous_;
};

}  // namespace kvalor
