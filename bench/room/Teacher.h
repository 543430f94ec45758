#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "server/ServerListener.h"
#include "server/ServerStore.h"

namespace kvalor::room {

class DeliveryLedger;

// The teacher's seat with the journal open: a listening connection waited on with poll(), and
// on each notice of new studies a read of those after the last one it has, as the journal does;
// a lost connection is tried again after the seats' retry delays, and what it missed is read
// after the reconnect.
class Teacher {
public:
    // Connects and listens: notices sent from then on reach the teacher.
    Teacher(const ServerAddress& where, DeliveryLedger& ledger);

    // Listens until told to stop.
    void Run(const std::atomic<bool>& stop);

    int Notices() const { return notices_; }
    int Reads() const { return reads_; }
    // Failed calls while the server was away (each a lost connection or a failed reconnect).
    int Losses() const { return losses_; }

private:
    void ReadNew();

    DeliveryLedger& ledger_;
    TServerStore store_;
    ServerListener listener_;
    std::int64_t seq_;
    int notices_ = 0, reads_ = 0, losses_ = 0;
};

}  // namespace kvalor::room
