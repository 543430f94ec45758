#pragma once

#include <QTemporaryDir>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "DeliveryLedger.h"
#include "ProcessMemory.h"
#include "RoomOptions.h"
#include "server/ServerStore.h"
#include "support/ServerCluster.h"

namespace kvalor::room {

class Seat;

// One run of the room: a throwaway server with the School tests and accounts, the seats, each
// on a thread of its own, and the teacher listening; then the report.
class RoomRun {
public:
    explicit RoomRun(const RoomOptions& options);
    ~RoomRun();
    RoomRun(const RoomRun&) = delete;
    RoomRun& operator=(const RoomRun&) = delete;

    // Runs the room and prints the report; true when every study arrived exactly once, on the
    // server and at the teacher.
    bool Run();

private:
    // When the kill began, when the server's processes were gone, when its start began and
    // when it accepted connections again.
    struct Outage {
        Clock::time_point stopped, gone, starting, back;
    };
    // When half the studies are stored, kills the server as a power cut would and starts it
    // again after the pause.
    void BreakServer();
    // The count of study rows and of distinct keys on the server.
    std::pair<std::int64_t, std::int64_t> CountRows() const;
    void ReportLatency(const char* from, const std::vector<double>& seconds) const;
    void ReportOutage() const;

    RoomOptions options_;
    int expected_;
    ServerCluster cluster_;
    ServerMemorySampler sampler_;
    ServerAddress where_;
    QTemporaryDir folder_;
    DeliveryLedger ledger_;
    std::vector<std::unique_ptr<Seat>> seats_;
    std::size_t processBefore_ = 0;
    std::atomic<int> seatFailures_{0};
    Clock::time_point start_;
    Outage outage_;
};

}  // namespace kvalor::room
