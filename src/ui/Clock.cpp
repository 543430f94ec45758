#include "ui/Clock.h"

namespace kvalor {

namespace {

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

Clock* installed = nullptr;

}  // namespace

Clock& appClock() {
    if (installed) {
        return *installed;
    }
    static SystemClock systemClock;
    return systemClock;
}

Clock* setClock(Clock* c) {
    Clock* previous = installed;
    installed = c;
    return previous;
}

}  // namespace kvalor
