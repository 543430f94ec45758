#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace kvalor::room {

// This process's peak resident memory (the kernel's VmHWM), in bytes.
std::size_t PeakResidentBytes();

// What the server's processes hold, read from /proc: the main process and its children (one
// backend per connection, the writer, the checkpointer...).
struct ServerMemory {
    std::size_t rss = 0;  // the sum of their resident sizes, shared memory counted in each
    // Their own (anonymous) memory plus the shared memory once, as the largest part of it any
    // one process touched: close to what the server really takes.
    std::size_t unique = 0;
    int processes = 0;
};

// Reads ServerMemory of the server whose main process it is told, several times a second on a
// thread of its own, and keeps the peaks; a stopped server (pid 0) is skipped.
class ServerMemorySampler {
public:
    ServerMemorySampler();
    ~ServerMemorySampler();
    ServerMemorySampler(const ServerMemorySampler&) = delete;
    ServerMemorySampler& operator=(const ServerMemorySampler&) = delete;

    void SetServerPid(std::int64_t pid) { pid_ = pid; }
    static ServerMemory Read(std::int64_t pid);

    std::size_t PeakRss() const { return peakRss_; }
    std::size_t PeakUnique() const { return peakUnique_; }
    int PeakProcesses() const { return peakProcesses_; }

private:
    void Sample();

    std::atomic<std::int64_t> pid_{0};
    std::atomic<std::size_t> peakRss_{0}, peakUnique_{0};
    std::atomic<int> peakProcesses_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace kvalor::room
