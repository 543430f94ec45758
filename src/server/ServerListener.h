#pragma once

#include <memory>
#include <vector>

#include "server/ServerConnection.h"

namespace kvalor {

struct ServerAddress;

// The channels the store notifies: a study's insert carries the highest seq stored, a list's
// write "<list name>:<new version>".
inline constexpr const char* kStudiesChannel = "kvalor_studies";
inline constexpr const char* kListsChannel = "kvalor_lists";

// A second connection to the server that only listens to what other seats write. It runs no
// event loop of its own: the caller waits on Socket() (a socket notifier, poll) and then takes
// the notices. Notices sent while it was disconnected are lost; the caller catches up by reading
// what was stored meanwhile.
class ServerListener {
public:
    // Connects and listens to both channels; raises when the server cannot be reached.
    explicit ServerListener(const ServerAddress& where);
    ~ServerListener();
    ServerListener(const ServerListener&) = delete;
    ServerListener& operator=(const ServerListener&) = delete;

    // -1 when not connected.
    int Socket() const;
    bool Connected() const;
    // The notices that arrived, read without blocking; a lost connection raises in words, and
    // Reconnect then tries again.
    std::vector<ServerNotice> TakeNotices();
    // Connects again and listens again (raises when it cannot); nothing when connected.
    void Reconnect();

private:
    void Listen();

    std::unique_ptr<ServerConnection> connection_;
    // A connection that came back but failed to listen again is not counted as listening.
    bool listening_ = false;
};

}  // namespace kvalor
