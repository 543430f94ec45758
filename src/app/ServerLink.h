#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include <QObject>
#include <QString>
#include <QTimer>

#include "model/StudyList.h"
#include "server/ServerConnection.h"
#include "server/StudyOutbox.h"

class QSocketNotifier;

namespace kvalor {

class NetworkRun;
class RecoveryFile;
class ServerListener;
class TKvalor;

// A seat's live tie to the server once its data are loaded: finished studies go through the
// outbox (kept in the recovery file until the server confirms them), a second connection
// listens to what other seats write, and a timer tries again, with backoff, whatever failed.
// Nothing here asks the user anything: an applicant never sees a box because the server is away.
class ServerLink : public QObject {
    Q_OBJECT
public:
    // A study whose account or test the server may lack yet goes with the lists: complete
    // tells whether it can go on its own, saveAll saves everything (raising its failure).
    struct DataSaving {
        std::function<bool(const TStudy&)> complete;
        std::function<void()> saveAll;
    };
    // Starts listening from the position of the load and delivers what the recovery file
    // holds; a server away now is tried again by the timer.
    ServerLink(NetworkRun& run, RecoveryFile& recovery, TKvalor& root, DataSaving saving);
    ~ServerLink() override;

    // Queues the finished study and, with the server there, delivers it at once. Only a disk
    // that refuses to keep it raises.
    void Send(const TStudy& study);
    // One attempt now: listening again, reading what the others stored meanwhile, delivering
    // the queue. Returns whether the server is there.
    bool Retry();
    // For staff saves: raises, in words, that nothing was saved when the server stays away.
    void RequireServer();

    bool Connected() const { return connected_; }
    int Queued() const { return outbox_.Pending(); }
    // For the status bar: "сервер: <address>", or the queue while the server is away.
    QString StateText() const;
    // Why the server counts as away; empty while it is there.
    const QString& Failure() const { return failure_; }

signals:
    void serverStateChanged(bool connected, int queued);
    // Studies of other seats, appended to the journal and linked.
    void studiesArrived(const StudyView& studies);
    // Another seat saved the list named in words ("пользователи").
    void listsChanged(const QString& words);

private:
    void Listen();
    // Sends the queue; false with failure_ set when it stays.
    bool Deliver();
    void SocketReady();
    // Tells of the lists changed elsewhere; returns whether new studies were stored.
    bool Handle(const std::vector<ServerNotice>& notices);
    // Appends what other seats stored since the last read, unless a window is busy with the
    // data (a modal dialog, a progress window): then a moment later.
    bool CatchUp();
    void Away(const QString& failure);
    void Report();
    // A retry during an applicant's examination would freeze the question window while the
    // connection is tried: it waits for the end of it.
    void ScheduleRetry();

    NetworkRun& run_;
    TKvalor& root_;
    DataSaving saving_;
    RecoveryFile& recovery_;
    StudyOutbox outbox_;
    std::unique_ptr<ServerListener> listener_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer retry_;
    QTimer catchUp_;
    std::int64_t seq_;
    bool connected_ = true;
    int failures_ = 0;
    QString failure_;
};

}  // namespace kvalor
