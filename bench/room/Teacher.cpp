#include "Teacher.h"

#include <poll.h>

#include <chrono>
#include <thread>

#include "DeliveryLedger.h"
#include "model/Study.h"
#include "server/StudyOutbox.h"

namespace kvalor::room {

Teacher::Teacher(const ServerAddress& where, DeliveryLedger& ledger)
    : ledger_(ledger), store_(where), listener_(where), seq_(store_.LastStudySeq()) {}

void Teacher::ReadNew() {
    for (;;) {
        const auto studies = store_.ReadStudiesAfter(seq_);
        ++reads_;
        const auto now = Clock::now();
        for (const auto& study : studies) {
            ledger_.Arrived(DeliveryLedger::KeyOf(*study), now);
        }
        if (studies.size() < 500) {
            return;
        }
    }
}

void Teacher::Run(const std::atomic<bool>& stop) {
    // Something may wait on the server that the teacher has not read: after a loss, until a
    // read succeeds.
    bool behind = false;
    int failuresInRow = 0;
    while (!stop) {
        try {
            if (behind) {
                // As the program's retry does: a listening connection that the server closed
                // meanwhile counts as connected until it is read, so read it first.
                try {
                    listener_.TakeNotices();
                } catch (const KvalorError&) {
                }
                listener_.Reconnect();
                ReadNew();
                behind = false;
            }
            pollfd wait{listener_.Socket(), POLLIN, 0};
            ::poll(&wait, 1, 100);
            bool fresh = false;
            for (const ServerNotice& notice : listener_.TakeNotices()) {
                ++notices_;
                fresh = fresh || notice.channel == kStudiesChannel;
            }
            if (fresh) {
                ReadNew();
            }
            failuresInRow = 0;
        } catch (const KvalorError&) {
            // The server went away: try again after the program's own retry delays.
            ++losses_;
            behind = true;
            const auto until = Clock::now() + RetryDelay(++failuresInRow);
            while (!stop && Clock::now() < until) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    }
}

}  // namespace kvalor::room
