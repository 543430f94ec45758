#pragma once

#include <optional>

#include <QObject>
#include <QString>

class QLocalServer;

namespace kvalor {

// Keeps a second copy of the program from running beside the first. The first copy claims the
// name (a lock that the system drops when the process ends, however it ends) and listens on a
// local socket of that name; a later start finds the name taken, asks the first copy through
// the socket to bring its window to the front and ends. The first copy notes its display in the
// lock, so that a start on another display (another seat, a remote session) can say where the
// program runs instead of waking a window nobody there can see.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The program's name is per desktop user, so that two users of one machine each run a copy.
    static QString defaultName();
    // The display this process shows its windows on ("" where there is none).
    static QString currentDisplay();

    explicit SingleInstance(const QString& name, const QString& display = currentDisplay(),
                            QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Claims the name for this process; false when another copy holds it. Needs no application
    // object, so that a second copy ends before it builds anything. When the lock cannot be
    // made at all (no writable temporary folder) the program runs rather than never starting.
    bool tryClaim();
    // For a copy that could not claim the name: the display the copy holding it runs on, when
    // that is known and another display than this copy's.
    std::optional<QString> OtherDisplay() const;
    // For a copy that could not claim the name: asks the copy that holds it to come to the
    // front. False when it cannot be reached (for instance while it is still starting).
    bool askFirstToActivate();
    // For the copy that holds the name: listens for later starts, replacing a socket left
    // behind by a copy that crashed. Needs the application object.
    bool listen();

    const QString& name() const { return name_; }

signals:
    // A later start asked this copy to bring its window to the front.
    void activationRequested();

private:
    QString lockPath() const;

    QString name_;
    QString display_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
};

}  // namespace kvalor
