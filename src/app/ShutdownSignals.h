#pragma once

#include <QObject>

class QSocketNotifier;

namespace kvalor {

// Turns the signals with which the system, a terminal or the desktop asks a program to end
// (SIGTERM, SIGHUP, SIGINT) into an event of the event loop, so that such an end saves what
// "Завершение работы" saves instead of losing the run. The handler only writes a byte into a
// socket pair, the one thing a signal handler may safely do; the loop reads it.
class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. Needs no application object: a signal that comes while the
    // program is still starting waits in the socket and is remembered.
    static void Install();
    // Whether one of the signals has come since Install.
    static bool Requested();

    // Watches the socket; needs the application object.
    explicit ShutdownSignals(QObject* parent = nullptr);

signals:
    // Emitted once for every burst of signals, from the event loop.
    void endRequested();

private:
    QSocketNotifier* notifier_;
};

}  // namespace kvalor
