#include "DeliveryLedger.h"

#include <algorithm>

#include "model/Study.h"
#include "util/ByteStream.h"

namespace kvalor::room {

std::string DeliveryLedger::KeyOf(const TStudy& study) {
    ByteStream key;
    key.writeDouble(study.Date());
    key.writeU8(study.Mode());
    key.writeGuid(study.UserId());
    key.writeGuid(study.TestId());
    return key.takeData();
}

void DeliveryLedger::Committed(const std::string& key, Clock::time_point sent,
                               Clock::time_point confirmed) {
    const std::lock_guard lock(mutex_);
    // A resent study keeps its first confirmation.
    commits_.emplace(key, Commit{sent, confirmed});
}

bool DeliveryLedger::Arrived(const std::string& key, Clock::time_point when) {
    const std::lock_guard lock(mutex_);
    if (!arrivals_.emplace(key, when).second) {
        ++duplicates_;
        return false;
    }
    return true;
}

int DeliveryLedger::CommitCount() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(commits_.size());
}

int DeliveryLedger::ArrivalCount() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(arrivals_.size());
}

int DeliveryLedger::DuplicateArrivals() const {
    const std::lock_guard lock(mutex_);
    return duplicates_;
}

Clock::time_point DeliveryLedger::LastCommit() const {
    const std::lock_guard lock(mutex_);
    Clock::time_point last{};
    for (const auto& [key, commit] : commits_) {
        last = std::max(last, commit.confirmed);
    }
    return last;
}

Clock::time_point DeliveryLedger::FirstArrivalFrom(Clock::time_point moment) const {
    const std::lock_guard lock(mutex_);
    Clock::time_point first = Clock::time_point::max();
    for (const auto& [key, read] : arrivals_) {
        if (read >= moment) {
            first = std::min(first, read);
        }
    }
    return first;
}

std::vector<double> DeliveryLedger::Latencies(Clock::time_point Commit::*from) const {
    const std::lock_guard lock(mutex_);
    std::vector<double> seconds;
    for (const auto& [key, read] : arrivals_) {
        const auto commit = commits_.find(key);
        if (commit != commits_.end()) {
            seconds.push_back(
                std::max(0.0, std::chrono::duration<double>(read - commit->second.*from).count()));
        }
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds;
}

std::vector<double> DeliveryLedger::LatenciesFromSent() const {
    return Latencies(&Commit::sent);
}

std::vector<double> DeliveryLedger::LatenciesFromConfirmed() const {
    return Latencies(&Commit::confirmed);
}

int DeliveryLedger::ArrivedBeforeConfirmed() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::count_if(arrivals_.begin(), arrivals_.end(), [this](const auto& a) {
            const auto commit = commits_.find(a.first);
            return commit != commits_.end() && a.second < commit->second.confirmed;
        }));
}

int DeliveryLedger::CommittedNotArrived() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(commits_.begin(), commits_.end(), [this](const auto& c) {
        return !arrivals_.contains(c.first);
    }));
}

int DeliveryLedger::ArrivedNotCommitted() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::count_if(arrivals_.begin(), arrivals_.end(),
                      [this](const auto& a) { return !commits_.contains(a.first); }));
}

}  // namespace kvalor::room
