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
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <QTemporaryDir>

#include "SampleData.h"
#include "StorageTestSupport.h"
#include "storage/DataFileLock.h"

using namespace kvalor;
using namespace storagetest;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;

struct School {
    std::vector<TQuestion*> questions;
    std::vector<TQuestions*> tests;
    std::vector<TCompetitor*> accounts;
    std::mt19937 random{17};
};

// A school's data in small: 20 tests of 40 questions and 400 applicants, with texts varied
// enough not to pack to nothing.
School fillSchool(TKvalor& root) {
    School school;
    for (int t = 0; t < 20; ++t) {
        TQuestions* test = addTest(root.SimpleTests(), kGroupKindSimpleTest, "Тест");
        test->SetName(cp("Тест по предмету № ") + std::to_string(t + 1));
        for (int q = 0; q < 40; ++q) {
            TQuestion* question =
                addQuestion(*test, "Вопрос", kSingleAnswer, {false, true, false, false});
            question->SetName(cp("Сколько будет ") + std::to_string(school.random() % 10000) +
                              " + " + std::to_string(school.random() % 10000) + "?");
            school.questions.push_back(question);
        }
        school.tests.push_back(test);
    }
    root.Users().EnsureBuiltins();
    for (int a = 0; a < 400; ++a) {
        TCompetitor* account = addAccount(root.Users(), "Соискатель", "");
        account->SetName(cp("Соискатель ") + std::to_string(school.random()));
        school.accounts.push_back(account);
    }
    return school;
}

// Runs of 20 questions each, one a minute.
void addStudies(TKvalor& root, School& school, int count) {
    auto& random = school.random;
    for (int s = 0; s < count; ++s) {
        auto study =
            TStudyList::NewStudy(kModeTesting, *school.accounts[random() % school.accounts.size()],
                                 *school.tests[random() % school.tests.size()],
                                 45000.0 + root.Studies().Count() / 1440.0);
        for (int q = 0; q < 20; ++q) {
            TExamineQuestion& record = study->Questions().Items(study->Questions().AddEmpty());
            record.QuestionId = school.questions[random() % school.questions.size()]->Id();
            record.Order = {int(random() % 4), 1, 2, 3};
            record.Given = {int(random() % 4)};
        }
        study->SetState(kStudyFinished);
        root.Studies().Append(std::move(study));
    }
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

// What the killer waits for before its delay: the save's start, its temporary file written
// in full (being synced or about to be renamed), or the data file replaced.
enum class Moment { Started, TemporaryWritten, Replaced };

struct KillPoint {
    Moment after;
    double shareOfSave;  // of the time a whole save takes, for Started
    microseconds delay;  // for the others
};

// Waits for the moment while the child runs; false when the child ended first.
bool waitFor(Moment moment, pid_t child, const QString& folder, const std::string& path,
             std::size_t newSize, ino_t oldInode) {
    while (::waitpid(child, nullptr, WNOHANG) == 0) {
        if (moment == Moment::TemporaryWritten) {
            for (const auto& temporary : temporaryFiles(folder)) {
                std::error_code error;
                if (std::filesystem::file_size(temporary, error) == newSize) {
                    return true;
                }
            }
        } else {
            struct stat now;
            if (::stat(path.c_str(), &now) == 0 && now.st_ino != oldInode) {
                return true;
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
    School school = fillSchool(root);
    addStudies(root, school, 800);
    root.SaveToFile(file);
    const std::string oldBytes = fileBytes(path);
    addStudies(root, school, 200);

    // One save that runs to its end gives the new bytes and the time a save takes.
    const auto started = Clock::now();
    ASSERT_EQ(exitStatus(startSave(root, file)), 0);
    const auto saveTime = Clock::now() - started;
    const std::string newBytes = fileBytes(path);
    ASSERT_NE(newBytes.size(), oldBytes.size());

    std::vector<KillPoint> points;
    for (int tenth = 0; tenth < 10; ++tenth) {
        points.push_back({Moment::Started, tenth / 10.0, {}});
    }
    for (int delay : {0, 50, 100, 200, 400, 800, 1500, 3000, 6000}) {
        points.push_back({Moment::TemporaryWritten, 0, microseconds(delay)});
    }
    for (int delay : {0, 100, 500, 2000}) {
        points.push_back({Moment::Replaced, 0, microseconds(delay)});
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
            std::this_thread::sleep_for(saveTime * kill.shareOfSave);
        } else if (waitFor(kill.after, pid, folder.path(), path, newBytes.size(), old.st_ino)) {
            std::this_thread::sleep_for(kill.delay);
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
        // The killed process held the lock; the system freed it, and the next holder clears
        // what the killed save left behind.
        const DataFileLock lock(file);
        EXPECT_TRUE(temporaryFiles(folder.path()).empty()) << "kill point " << point;
    }
    std::fprintf(stderr,
                 "%zu kills of a %lld ms save of %zu bytes: %d left the old file, %d a "
                 "temporary file\n",
                 points.size(),
                 static_cast<long long>(
                     std::chrono::duration_cast<std::chrono::milliseconds>(saveTime).count()),
                 newBytes.size(), endedOld, strays);

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
