#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace kvalor {
class TStudy;
}

namespace kvalor::room {

using Clock = std::chrono::steady_clock;

// The table the seats and the teacher share in the process: when each study was sent and when
// the server confirmed it (the seat's commit lies between), and when the teacher read it.
class DeliveryLedger {
public:
    // A study's identity as the server keys it: date, mode, account, test.
    static std::string KeyOf(const TStudy& study);

    void Committed(const std::string& key, Clock::time_point sent, Clock::time_point confirmed);
    // False when the teacher had this study already.
    bool Arrived(const std::string& key, Clock::time_point when);

    int CommitCount() const;
    int ArrivalCount() const;
    int DuplicateArrivals() const;
    Clock::time_point LastCommit() const;
    // The teacher's first read at or after a moment; time_point::max() when there is none.
    Clock::time_point FirstArrivalFrom(Clock::time_point moment) const;

    // Seconds from each study's sending, or from its confirmation, to its arrival, sorted, for
    // the studies that have both. The teacher may read a study before its seat has taken the
    // confirmation: that counts as 0 from the confirmation.
    std::vector<double> LatenciesFromSent() const;
    std::vector<double> LatenciesFromConfirmed() const;
    // The studies the teacher read before their seats had the confirmation.
    int ArrivedBeforeConfirmed() const;
    // Committed studies the teacher never read, and read studies no seat committed.
    int CommittedNotArrived() const;
    int ArrivedNotCommitted() const;

private:
    mutable std::mutex mutex_;
    struct Commit {
        Clock::time_point sent, confirmed;
    };
    std::vector<double> Latencies(Clock::time_point Commit::*from) const;

    std::unordered_map<std::string, Commit> commits_;
    std::unordered_map<std::string, Clock::time_point> arrivals_;
    int duplicates_ = 0;
};

}  // namespace kvalor::room
