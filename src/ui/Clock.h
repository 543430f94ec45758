#pragma once

#include <QDateTime>

namespace kvalor {

// Where the windows get the current time, so that tests can move it. Countdowns subtract full
// date-times, which keeps them right across midnight.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// The installed clock; the system clock when none is installed. (Not called clock(), which
// would collide with the C library's clock() wherever both are visible.)
Clock& appClock();
// Installs c (nullptr goes back to the system clock) and returns the one installed before.
Clock* setClock(Clock* c);

}  // namespace kvalor
