#pragma once

// Helpers shared by the tests of the stored files: temporary folders, raw file bytes, files
// built element by element, other processes holding a file, and the independent reader.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "storage/CompoundFile.h"
#include "support/PythonScript.h"
#include "util/Error.h"

namespace storagetest {

inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// zlib's own compression at level 9, independent of the packing code.
inline std::string zlibCompress(const std::string& data) {
    std::string out(compressBound(data.size()), '\0');
    uLongf outSize = out.size();
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &outSize,
                        reinterpret_cast<const Bytef*>(data.data()), data.size(), 9),
              Z_OK);
    out.resize(outSize);
    return out;
}

// A compound file with the given streams, named "Stream" in the root or "Storage/Stream".
// "Storage/" alone makes an empty storage.
inline void writeCompoundFile(const std::string& path,
                              const std::map<std::string, std::string>& streams) {
    kvalor::CompoundFileWriter writer(QString::fromStdString(path));
    std::map<std::string, kvalor::CompoundStorageWriter> storages;
    for (const auto& [name, content] : streams) {
        const std::size_t slash = name.find('/');
        if (slash == std::string::npos) {
            writer.root().writeStream(name, content);
            continue;
        }
        const std::string storageName = name.substr(0, slash);
        auto storage = storages.find(storageName);
        if (storage == storages.end()) {
            storage = storages.emplace(storageName, writer.root().createStorage(storageName)).first;
        }
        if (slash + 1 < name.size()) {
            storage->second.writeStream(name.substr(slash + 1), content);
        }
    }
    writer.commit();
}

// The text of the KvalorError the action raises (UTF-8), or nullopt when it succeeds. Any other
// exception escapes and fails the test.
template <class Action>
std::optional<std::string> errorText(Action&& action) {
    try {
        action();
    } catch (const kvalor::KvalorError& e) {
        return e.message().toStdString();
    }
    return std::nullopt;
}

// Runs child in a forked process and returns the bytes it hands back; nullopt when the process
// did not exit normally.
inline std::optional<std::string> childProcessReport(const std::function<std::string()>& child) {
    int report[2];
    if (::pipe(report) != 0) {
        throw std::runtime_error("pipe");
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(report[0]);
        const std::string bytes = child();
        (void)!::write(report[1], bytes.data(), bytes.size());
        ::_exit(0);
    }
    ::close(report[1]);
    std::string bytes;
    char chunk[256];
    for (ssize_t n; (n = ::read(report[0], chunk, sizeof chunk)) > 0;) {
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(report[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) {
        return std::nullopt;
    }
    return bytes;
}

// Runs body in a child process: "" when it succeeded, the text of its KvalorError otherwise.
inline std::string messageInChildProcess(const std::function<void()>& body) {
    const std::optional<std::string> message = childProcessReport([&body] {
        try {
            body();
        } catch (const kvalor::KvalorError& e) {
            return e.message().toStdString();
        } catch (...) {
            return std::string("unexpected exception");
        }
        return std::string();
    });
    return message.value_or("child process crashed");
}

// Another process that has the file open through a CompoundFileReader until released.
class ForeignReader {
public:
    explicit ForeignReader(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(release_) != 0) {
            throw std::runtime_error("pipe");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release_[1]);
            char status = 'E';
            try {
                const kvalor::CompoundFileReader reader(QString::fromStdString(path));
                status = 'R';
                (void)!::write(ready[1], &status, 1);
                char ignored;
                (void)!::read(release_[0], &ignored, 1);  // returns once the parent closes it
            } catch (...) {
                (void)!::write(ready[1], &status, 1);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release_[0]);
        char status = 'E';
        (void)!::read(ready[0], &status, 1);
        ::close(ready[0]);
        holding_ = status == 'R';
    }
    ~ForeignReader() { release(); }
    ForeignReader(const ForeignReader&) = delete;
    ForeignReader& operator=(const ForeignReader&) = delete;

    bool holding() const { return holding_; }
    void release() {
        if (pid_ > 0) {
            ::close(release_[1]);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    int release_[2] = {-1, -1};
    pid_t pid_ = -1;
    bool holding_ = false;
};

// Another process that runs `start` and then lives on until it is killed, as a program that
// crashes or is killed in the middle of a run: whatever it holds, it holds until then.
class ProcessUntilKilled {
public:
    explicit ProcessUntilKilled(const std::function<void()>& start) {
        int ready[2];
        if (::pipe(ready) != 0) {
            throw std::runtime_error("pipe");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            start();
            (void)!::write(ready[1], "R", 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(ready[1]);
        char status = 0;
        (void)!::read(ready[0], &status, 1);
        ::close(ready[0]);
        EXPECT_EQ(status, 'R') << "the other process did not start";
    }
    ~ProcessUntilKilled() { kill(); }
    ProcessUntilKilled(const ProcessUntilKilled&) = delete;
    ProcessUntilKilled& operator=(const ProcessUntilKilled&) = delete;

    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
};

// The listing of the file by olefile_list.py of this folder in the given mode ("digest" or
// "hex"); nullopt when no interpreter with olefile is available. A failure of the script is a
// finding and comes back as its output, prefixed "olefile failed: ".
inline std::optional<std::string> runOlefileList(const std::string& mode, const std::string& file) {
    const auto run = kvalor::testsupport::runPythonScript(
        QStringLiteral("storage/olefile_list.py"),
        {QString::fromStdString(mode), QFile::decodeName(file.c_str())});
    if (!run) {
        return std::nullopt;
    }
    return run->succeeded ? run->output : "olefile failed: " + run->output;
}

// A test with a temporary folder of its own.
class StorageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    std::string path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    QString qpath(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name));
    }
    std::string folder() const { return dir_.path().toStdString(); }

    QTemporaryDir dir_;
};

}  // namespace storagetest
