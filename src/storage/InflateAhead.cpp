#include "storage/InflateAhead.h"

#include "storage/StreamInflater.h"

namespace kvalor {

namespace {

// Parts of about a piece each: enough to keep the thread busy while the reader works on one,
// little beside the records being built.
constexpr std::size_t kPartsAhead = 4;

}  // namespace

InflateAhead::InflateAhead(StreamInflater& inflater)
    : inflater_(inflater), thread_([this] { Run(); }) {}

InflateAhead::~InflateAhead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void InflateAhead::Run() {
    for (;;) {
        std::string part;
        bool more = false;
        std::exception_ptr failure;
        try {
            more = inflater_.More(part);
        } catch (...) {
            failure = std::current_exception();
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || parts_.size() < kPartsAhead; });
        if (stopping_) {
            return;
        }
        if (!more || failure) {
            failure_ = failure;
            ended_ = true;
            changed_.notify_all();
            return;
        }
        parts_.push_back(std::move(part));
        changed_.notify_all();
    }
}

bool InflateAhead::More(std::string& out) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ended_ || !parts_.empty(); });
    if (parts_.empty()) {
        if (failure_) {
            std::rethrow_exception(failure_);
        }
        return false;
    }
    if (out.empty()) {
        out.swap(parts_.front());
    } else {
        out.append(parts_.front());
    }
    parts_.pop_front();
    changed_.notify_all();
    return true;
}

}  // namespace kvalor
