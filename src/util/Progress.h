#pragma once

#include <cstdint>
#include <functional>

namespace kvalor {

// What a long operation of the core tells of its advance: done of total units (bytes, files),
// always on the thread that started the operation, ending with done == total when it
// succeeds. An empty function is never called.
using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

inline void ReportProgress(const Progress& progress, std::uint64_t done, std::uint64_t total) {
    if (progress) {
        progress(done, total);
    }
}

}  // namespace kvalor
