#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

namespace kvalor {

class StreamInflater;

// Runs an inflater on a thread of its own, a few parts ahead of its reader, so that on two
// cores building the records read hides most of the unpacking. The inflater is not touched
// from elsewhere while this lives.
class InflateAhead {
public:
    explicit InflateAhead(StreamInflater& inflater);
    // Stops the thread, even one waiting for room, and waits for it.
    ~InflateAhead();
    InflateAhead(const InflateAhead&) = delete;
    InflateAhead& operator=(const InflateAhead&) = delete;

    // As StreamInflater::More: appends the next part, false once the stream has ended; raises
    // what the inflater raised, in its turn.
    bool More(std::string& out);

private:
    void Run();

    StreamInflater& inflater_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> parts_;
    std::exception_ptr failure_;
    bool ended_ = false;
    bool stopping_ = false;
    std::thread thread_;  // last, so that it starts once the rest is in place
};

}  // namespace kvalor
