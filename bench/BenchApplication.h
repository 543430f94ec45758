#pragma once

#include <QApplication>

namespace kvalor::bench {

// The windows need an application; the benchmarks run without a screen.
inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "kvalor_bench";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QApplication application(argc, argv);
    }
}

}  // namespace kvalor::bench
