#include "ProcessMemory.h"

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

namespace kvalor::room {

namespace {

// The fields of /proc/PID/status that are sizes ("VmRSS:    1234 kB"), in bytes.
struct StatusSizes {
    std::size_t rss = 0, anonymous = 0, shared = 0;
};

bool readStatus(const std::string& pid, StatusSizes& sizes, std::size_t* peak = nullptr) {
    std::ifstream status("/proc/" + pid + "/status");
    if (!status) {
        return false;
    }
    const auto kilobytes = [](const std::string& line) {
        return std::strtoull(line.c_str() + line.find(':') + 1, nullptr, 10) * 1024;
    };
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            sizes.rss = kilobytes(line);
        } else if (line.starts_with("RssAnon:")) {
            sizes.anonymous = kilobytes(line);
        } else if (line.starts_with("RssShmem:")) {
            sizes.shared = kilobytes(line);
        } else if (peak && line.starts_with("VmHWM:")) {
            *peak = kilobytes(line);
        }
    }
    return true;
}

// The parent's pid from /proc/PID/stat; the name in parentheses may hold spaces.
std::int64_t parentOf(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text;
    std::getline(stat, text);
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos || close + 4 >= text.size()) {
        return 0;
    }
    return std::strtoll(text.c_str() + close + 4, nullptr, 10);
}

}  // namespace

std::size_t PeakResidentBytes() {
    StatusSizes sizes;
    std::size_t peak = 0;
    readStatus("self", sizes, &peak);
    return peak;
}

ServerMemory ServerMemorySampler::Read(std::int64_t pid) {
    ServerMemory memory;
    if (pid <= 0) {
        return memory;
    }
    std::size_t shared = 0;
    const auto add = [&](const std::string& process) {
        StatusSizes sizes;
        if (readStatus(process, sizes)) {
            memory.rss += sizes.rss;
            memory.unique += sizes.anonymous;
            shared = std::max(shared, sizes.shared);
            ++memory.processes;
        }
    };
    add(std::to_string(pid));
    DIR* proc = ::opendir("/proc");
    if (!proc) {
        return memory;
    }
    while (const dirent* entry = ::readdir(proc)) {
        const std::string name = entry->d_name;
        if (name.find_first_not_of("0123456789") == std::string::npos && parentOf(name) == pid) {
            add(name);
        }
    }
    ::closedir(proc);
    memory.unique += shared;
    return memory;
}

ServerMemorySampler::ServerMemorySampler() : thread_([this] { Sample(); }) {}

ServerMemorySampler::~ServerMemorySampler() {
    stop_ = true;
    thread_.join();
}

void ServerMemorySampler::Sample() {
    while (!stop_) {
        const ServerMemory now = Read(pid_);
        peakRss_ = std::max<std::size_t>(peakRss_, now.rss);
        peakUnique_ = std::max<std::size_t>(peakUnique_, now.unique);
        peakProcesses_ = std::max(peakProcesses_.load(), now.processes);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

}  // namespace kvalor::room
