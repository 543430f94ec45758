#include "app/ShutdownSignals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include <QSocketNotifier>

namespace kvalor {

namespace {

// [0] written by the handler, [1] read by the loop.
int signalSocket[2] = {-1, -1};
volatile sig_atomic_t signalled = 0;

void onSignal(int number) {
    const int savedErrno = errno;
    signalled = 1;
    const char byte = static_cast<char>(number);
    // A full socket already holds a request; losing this byte loses nothing.
    (void)!::write(signalSocket[0], &byte, 1);
    errno = savedErrno;
}

}  // namespace

void ShutdownSignals::Install() {
    if (signalSocket[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSocket) != 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // A save interrupted by the signal goes on where it was.
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(number, &action, nullptr);
    }
}

bool ShutdownSignals::Requested() {
    return signalled != 0;
}

ShutdownSignals::ShutdownSignals(QObject* parent)
    : QObject(parent),
      notifier_(new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, this)) {
    notifier_->setEnabled(signalSocket[1] >= 0);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[64];
        while (::read(signalSocket[1], bytes, sizeof bytes) > 0) {
        }
        emit endRequested();
    });
}

}  // namespace kvalor
