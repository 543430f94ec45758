#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

namespace kvalor {

namespace {

constexpr int kConnectTimeoutMs = 1000;

}  // namespace

QString SingleInstance::defaultName() {
    return QStringLiteral("mKvalor-%1").arg(getuid());
}

QString SingleInstance::currentDisplay() {
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    return wayland.isEmpty() ? qEnvironmentVariable("DISPLAY") : wayland;
}

SingleInstance::SingleInstance(const QString& name, const QString& display, QObject* parent)
    : QObject(parent), name_(name), display_(display) {}

QString SingleInstance::lockPath() const {
    return QDir(QDir::tempPath()).filePath(name_ + ".lock");
}

SingleInstance::~SingleInstance() {
    if (server_) {
        server_->close();
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
    }
}

bool SingleInstance::tryClaim() {
    if (lockFd_ >= 0) {
        return true;
    }
    // A BSD lock belongs to the open file description: it conflicts with every other open, in
    // this process or another, and goes away with the process, so a crash leaves nothing stale.
    const int fd =
        ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    lockFd_ = fd;
    // Read by later starts; the lock alone decides who runs, so a failed write only costs
    // them the name of the display.
    const QByteArray display = display_.toUtf8();
    if (::ftruncate(fd, 0) == 0) {
        (void)!::pwrite(fd, display.constData(), static_cast<std::size_t>(display.size()), 0);
    }
    return true;
}

std::optional<QString> SingleInstance::OtherDisplay() const {
    QFile lock(lockPath());
    if (!lock.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // A display name is short; an empty one is a copy that has not written it yet.
    const QString running = QString::fromUtf8(lock.read(256));
    if (running.isEmpty() || running == display_) {
        return std::nullopt;
    }
    return running;
}

bool SingleInstance::askFirstToActivate() {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    socket.write("A");
    const bool written = socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return written;
}

bool SingleInstance::listen() {
    if (server_) {
        return server_->isListening();
    }
    server_ = new QLocalServer(this);
    // Only the copy holding the lock gets here, so a socket of that name is a leftover.
    QLocalServer::removeServer(name_);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            // The connection is the whole request.
            socket->abort();
            socket->deleteLater();
            emit activationRequested();
        }
    });
    return server_->listen(name_);
}

}  // namespace kvalor
