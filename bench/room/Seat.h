#pragma once

#include <QString>
#include <memory>
#include <random>
#include <vector>

#include "DeliveryLedger.h"
#include "server/ServerListener.h"
#include "server/ServerStore.h"

namespace kvalor {
class TStudy;
}

namespace kvalor::room {

// One seat of the room: its own connection and its own outbox over a recovery file in its own
// folder, finishing its examinations one after another and delivering each as the program does,
// with the outbox's backoff while the server is away. A listening seat also holds a listening
// connection, as every seat of the program does, and reads the other seats' studies on their
// notices through its own connection, as the program's journal does.
class Seat {
public:
    Seat(const ServerAddress& where, const QString& folder,
         std::vector<std::unique_ptr<TStudy>> studies, int pauseMs, bool listens,
         DeliveryLedger& ledger);
    ~Seat();
    Seat(const Seat&) = delete;
    Seat& operator=(const Seat&) = delete;

    // Connects (before the room starts, so that connecting is not timed).
    void Connect();
    // Finishes every examination and returns once the server has confirmed them all.
    void Run();

    // When its delivery attempts failed, and when one delivered something, in order.
    const std::vector<Clock::time_point>& Failures() const { return failures_; }
    const std::vector<Clock::time_point>& Deliveries() const { return deliveries_; }
    const QString& LastError() const { return lastError_; }
    // How many studies of other seats it read.
    std::size_t Read() const { return read_; }

private:
    // Waits until then, reading the other seats' studies as their notices arrive.
    void WaitReading(Clock::time_point until);
    void ReadOthers();

    ServerAddress where_;
    QString folder_;
    std::vector<std::unique_ptr<TStudy>> studies_;
    int pauseMs_;
    bool listens_;
    DeliveryLedger& ledger_;
    std::unique_ptr<TServerStore> store_;
    std::unique_ptr<ServerListener> listener_;
    std::int64_t seq_ = 0;
    std::size_t read_ = 0;
    std::mt19937 random_;
    std::vector<Clock::time_point> failures_, deliveries_;
    QString lastError_;
};

}  // namespace kvalor::room
