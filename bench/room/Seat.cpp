#include "Seat.h"

#include <poll.h>

#include <deque>
#include <string>
#include <thread>

#include "DeliveryLedger.h"
#include "model/Study.h"
#include "server/StudyOutbox.h"
#include "storage/RecoveryFile.h"

namespace kvalor::room {

Seat::Seat(const ServerAddress& where, const QString& folder,
           std::vector<std::unique_ptr<TStudy>> studies, int pauseMs, bool listens,
           DeliveryLedger& ledger)
    : where_(where),
      folder_(folder),
      studies_(std::move(studies)),
      pauseMs_(pauseMs),
      listens_(listens),
      ledger_(ledger),
      random_(std::hash<std::string>{}(folder.toStdString())) {}

Seat::~Seat() = default;

void Seat::Connect() {
    store_ = std::make_unique<TServerStore>(where_);
    if (listens_) {
        listener_ = std::make_unique<ServerListener>(where_);
        seq_ = store_->LastStudySeq();
    }
}

void Seat::ReadOthers() {
    try {
        // Nothing when connected; a lost listener is connected again on the next chance.
        listener_->Reconnect();
        bool fresh = false;
        for (const ServerNotice& notice : listener_->TakeNotices()) {
            fresh = fresh || notice.channel == kStudiesChannel;
        }
        while (fresh) {
            const auto studies = store_->ReadStudiesAfter(seq_);
            read_ += studies.size();
            fresh = studies.size() == 500;
        }
    } catch (const KvalorError&) {
        // The delivery's own retries say when the server is back; reading follows them.
    }
}

void Seat::WaitReading(Clock::time_point until) {
    if (!listener_) {
        std::this_thread::sleep_until(until);
        return;
    }
    for (auto now = Clock::now(); now < until; now = Clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
        pollfd wait{listener_->Socket(), POLLIN, 0};
        if (wait.fd < 0) {
            std::this_thread::sleep_until(until);
        } else {
            ::poll(&wait, 1, static_cast<int>(left));
        }
        ReadOthers();
    }
}

void Seat::Run() {
    RecoveryFile file(folder_ + "/KvalorServer.exd");
    file.Load();
    StudyOutbox outbox(file);
    // The keys of the studies in the outbox, in its order: Deliver confirms them from the front.
    std::deque<std::string> queued;
    Clock::time_point nextAttempt{};
    const auto deliver = [&] {
        const auto sent = Clock::now();
        const bool delivered = outbox.Deliver(*store_);
        const auto now = Clock::now();
        if (static_cast<int>(queued.size()) > outbox.Pending()) {
            deliveries_.push_back(now);
        }
        while (static_cast<int>(queued.size()) > outbox.Pending()) {
            ledger_.Committed(queued.front(), sent, now);
            queued.pop_front();
        }
        if (!delivered) {
            failures_.push_back(now);
            lastError_ = outbox.LastError();
            nextAttempt = now + outbox.NextRetry();
        }
    };
    std::uniform_int_distribution<int> pause(pauseMs_ / 2, pauseMs_ + pauseMs_ / 2);
    for (std::unique_ptr<TStudy>& study : studies_) {
        if (pauseMs_ > 0) {
            WaitReading(Clock::now() + std::chrono::milliseconds(pause(random_)));
        } else if (listener_) {
            ReadOthers();
        }
        // The seat's examination ends: the outbox keeps its own copy in the recovery file.
        outbox.Enqueue(*study);
        queued.push_back(DeliveryLedger::KeyOf(*study));
        study.reset();
        // Delivered at once, unless the retry timer of an earlier failure is still running.
        if (Clock::now() >= nextAttempt) {
            deliver();
        }
    }
    while (outbox.Pending() > 0) {
        WaitReading(nextAttempt);
        deliver();
    }
    listener_.reset();
    store_.reset();
}

}  // namespace kvalor::room
