#include "support/FakeClock.h"

namespace kvalor {

FakeClock::FakeClock(const QDateTime& start) : now_(start), previous_(setClock(this)) {}

FakeClock::~FakeClock() {
    setClock(previous_);
}

}  // namespace kvalor
