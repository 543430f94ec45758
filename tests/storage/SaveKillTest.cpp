// A save of a large data file killed at many moments: the file on disk is always the old one or
// the new one, whole, and nothing left behind stands in the way of the next save.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <QTemporaryDir>

#include "SchoolData.h"
#include "StorageTestSupport.h"
#include "model/Kvalor.h"
#include "model/StudyList.h"
#include "storage/DataFileLock.h"

using namespace kvalor;
using namespace storagetest;

namespace {

using std::chrono::microseconds;

// A school's data in small: 20 tests of 40 questions, 400 applicants, and `studies` runs of
// 20 questions.
SchoolShape smallSchool(int studies) {
    SchoolShape shape;
    shape.simpleTests = 20;
    shape.groupsPerTest = 1;
    shape.questionsPerGroup = 40;
    shape.accountGroups = 2;
    shape.studies = studies;
    return shape;
}

// Runs the save in a child process, as kvalor-tool would: under the data file's lock.
pid_t startSave(TKvalor& root, const QString& file) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        try {
            const DataFileLock lock(file);
            root.SaveToFile(file);
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    return pid;
}

int exitStatus(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::filesystem::path> temporaryFiles(const QString& folder) {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder.toStdString())) {
        if (entry.path().filename().string().starts_with(".KvalorData.exd.")) {
            found.push_back(entry.path());
        }
    }
    return found;
}

// What the killer waits for before its delay: the start of the save (the delay is then a share
// of a whole save), its temporary file written in full (being synced or about to be renamed),
// or the data file replaced.
enum class Moment { Started, TemporaryWritten, Replaced };

struct KillPoint {
    Moment after;
    double delay;  // a share of a save after Started, microseconds after the others
};

// Waits for the moment while the child runs; false when the child ended first.
bool waitFor(Moment moment, pid_t child, const QString& folder, const std::string& path,
             std::size_t newSize, ino_t oldInode) {
    while (::waitpid(child, nullptr, WNOHANG) == 0) {
        struct stat now;
        if (moment == Moment::Replaced) {
            if (::stat(path.c_str(), &now) == 0 && now.st_ino != oldInode) {
                return true;
            }
        } else {
            for (const auto& temporary : temporaryFiles(folder)) {
                std::error_code error;
                if (std::filesystem::file_size(temporary, error) == newSize) {
                    return true;
                }
            }
        }
        std::this_thread::sleep_for(microseconds(20));
    }
    return false;
}

}  // namespace

TEST(SaveKillTest, KilledSaveLeavesTheOldOrTheNewFileWhole) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath("KvalorData.exd");
    const std::string path = file.toStdString();

    TKvalor root;
    BuildSchoolData(root, smallSchool(800));
    root.SaveToFile(file);
    const std::string oldBytes = fileBytes(path);
    // A run of that file in which 200 examinations were taken: the saves take over what was
    // packed when it was read.
    root.LoadFromFile(file, true);
    AppendExaminations(root, 200, 3000.0);

    // One save that runs to its end gives the new bytes and the time a save takes.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(exitStatus(startSave(root, file)), 0);
    const auto saveTime = std::chrono::steady_clock::now() - started;
    const std::string newBytes = fileBytes(path);
    ASSERT_NE(newBytes.size(), oldBytes.size());

    std::vector<KillPoint> points;
    for (int tenth = 0; tenth < 10; ++tenth) {
        points.push_back({Moment::Started, tenth / 10.0});
    }
    for (int delay : {0, 50, 100, 200, 400, 800, 1500, 3000, 6000}) {
        points.push_back({Moment::TemporaryWritten, double(delay)});
    }
    for (int delay : {0, 100, 500, 2000}) {
        points.push_back({Moment::Replaced, double(delay)});
    }
    int endedOld = 0;
    int strays = 0;
    for (std::size_t point = 0; point < points.size(); ++point) {
        const KillPoint& kill = points[point];
        writeBytes(path, oldBytes);
        struct stat old;
        ASSERT_EQ(::stat(path.c_str(), &old), 0);
        const pid_t pid = startSave(root, file);
        if (kill.after == Moment::Started) {
            std::this_thread::sleep_for(saveTime * kill.delay);
        } else if (waitFor(kill.after, pid, folder.path(), path, newBytes.size(), old.st_ino)) {
            std::this_thread::sleep_for(microseconds(int(kill.delay)));
        }
        ::kill(pid, SIGKILL);
        exitStatus(pid);

        const std::string bytes = fileBytes(path);
        ASSERT_TRUE(bytes == oldBytes || bytes == newBytes)
            << "a mix of " << bytes.size() << " bytes after kill point " << point;
        if (kill.after == Moment::Replaced) {
            EXPECT_EQ(bytes, newBytes) << "kill point " << point;
        }
        endedOld += bytes == oldBytes;
        strays += static_cast<int>(temporaryFiles(folder.path()).size());
        // The system freed the killed process's lock; the next holder clears what it left.
        const DataFileLock lock(file);
        EXPECT_TRUE(temporaryFiles(folder.path()).empty()) << "kill point " << point;
    }
    std::fprintf(stderr, "%zu kills: %d left the old file, %d a temporary file\n", points.size(),
                 endedOld, strays);

    // Both files load, and a save after all those kills runs as usual.
    for (const std::string* bytes : {&oldBytes, &newBytes}) {
        writeBytes(path, *bytes);
        TKvalor loaded;
        loaded.LoadFromFile(file, true);
        EXPECT_EQ(loaded.Studies().Count(), bytes == &oldBytes ? 800 : 1000);
    }
    ASSERT_EQ(exitStatus(startSave(root, file)), 0);
    EXPECT_EQ(fileBytes(path), newBytes);
}
