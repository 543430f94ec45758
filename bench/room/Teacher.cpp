#include "Teacher.h"

#include <poll.h>

#include <chrono>
#include <thread>

#include "DeliveryLedger.h"
#include "model/Study.h"
#include "server/ServerListener.h"

namespace kvalor::room {

Teacher::Teacher(const ServerAddress& where, DeliveryLedger& ledger)
    : where_(where), ledger_(ledger) {}

void Teacher::Run(const std::atomic<bool>& stop) {
    TServerStore store(where_);
    ServerListener listener(where_);
    std::int64_t seq = store.LastStudySeq();
    listening_ = true;
    // Something may wait on the server that this seat has not read: after a loss, until a read
    // succeeds.
    bool behind = false;
    const auto readNew = [&] {
        for (;;) {
            const auto studies = store.ReadStudiesAfter(seq);
            ++reads_;
            const auto now = Clock::now();
            for (const auto& study : studies) {
                ledger_.Arrived(DeliveryLedger::KeyOf(*study), now);
            }
            if (studies.size() < 500) {
                return;
            }
        }
    };
    while (!stop) {
        try {
            if (!listener.Connected()) {
                listener.Reconnect();
                behind = true;
            }
            if (behind) {
                readNew();
                behind = false;
            }
            pollfd wait{listener.Socket(), POLLIN, 0};
            ::poll(&wait, 1, 100);
            bool fresh = false;
            for (const ServerNotice& notice : listener.TakeNotices()) {
                ++notices_;
                fresh = fresh || notice.channel == "kvalor_studies";
            }
            if (fresh) {
                readNew();
            }
        } catch (const KvalorError&) {
            // The server went away: try again shortly, as the program's retry timer does.
            ++losses_;
            behind = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
    }
}

}  // namespace kvalor::room
