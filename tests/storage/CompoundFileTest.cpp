#include <gtest/gtest.h>
#include <QProcess>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <QCryptographicHash>
#include <QTemporaryDir>

#include "StorageTestSupport.h"
#include "storage/CompoundFile.h"

namespace kvalor {

void PrintTo(StorageResult code, std::ostream* out) {
    *out << formatResultCode(code).toStdString();
}

}  // namespace kvalor

using namespace kvalor;
using storagetest::fileBytes;
using storagetest::ForeignReader;
using storagetest::writeBytes;
namespace fs = std::filesystem;

namespace {

const std::string kVersion("\x03\x01\x01", 3);

// Content in which no two blocks are alike, so that a misplaced block shows.
std::string pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + seed + i / 251) & 0xFF);
    }
    return bytes;
}

// 4096 bytes and more go to big blocks, less to the small-block area.
const std::string kTests = pattern(5000, 1);
const std::string kUsers = pattern(4095, 2);
const std::string kInner = pattern(4096, 3);

void writeSample(const std::string& path) {
    CompoundFileWriter writer(QString::fromStdString(path));
    writer.root().writeStream("Version", kVersion);
    writer.root().createStorage("SimpleTests").writeStream("Data", kTests);
    writer.root().createStorage("Competitors").writeStream("Data", kUsers);
    CompoundStorageWriter nested = writer.root().createStorage("ComplexTests");
    nested.createStorage("Inner").writeStream("Data", kInner);
    writer.root().createStorage("Studies").writeStream("Data", "");
    writer.commit();
}

using Contents = std::map<std::string, std::string>;

Contents sampleContents() {
    return {{"Version", kVersion},
            {"SimpleTests/Data", kTests},
            {"Competitors/Data", kUsers},
            {"ComplexTests/Inner/Data", kInner},
            {"Studies/Data", ""}};
}

// Reads every stream that writeSample writes; throws what the reader throws.
Contents readSample(const std::string& path) {
    const CompoundFileReader reader(QString::fromStdString(path));
    const CompoundStorageReader& root = reader.root();
    Contents contents;
    contents["Version"] = root.stream("Version").readAll();
    contents["SimpleTests/Data"] = root.storage("SimpleTests").stream("Data").readAll();
    contents["Competitors/Data"] = root.storage("Competitors").stream("Data").readAll();
    contents["ComplexTests/Inner/Data"] =
        root.storage("ComplexTests").storage("Inner").stream("Data").readAll();
    contents["Studies/Data"] = root.storage("Studies").stream("Data").readAll();
    return contents;
}

void writeSingleStream(const std::string& path, const std::string& content) {
    CompoundFileWriter writer(QString::fromStdString(path));
    writer.root().createStorage("Studies").writeStream("Data", content);
    writer.commit();
}

std::string readSingleStream(const std::string& path) {
    const CompoundFileReader reader(QString::fromStdString(path));
    return reader.root().storage("Studies").stream("Data").readAll();
}

template <typename F>
std::optional<StorageResult> errorOf(F&& action) {
    try {
        action();
    } catch (const StorageError& e) {
        return e.code();
    }
    return std::nullopt;
}

std::optional<StorageResult> readError(const std::string& path) {
    return errorOf([&] { CompoundFileReader reader(QString::fromStdString(path)); });
}

std::optional<StorageResult> createError(const std::string& path) {
    return errorOf([&] { CompoundFileWriter writer(QString::fromStdString(path)); });
}

std::set<std::string> folderEntries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::uint32_t le32(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

// Runs body in a child process and returns what it reports (0 when it succeeded, the result
// code of a StorageError otherwise). With `unprivileged`, a child running as root drops to the
// account "nobody" first, so that file permissions apply to it.
constexpr std::uint32_t kNoPrivilegeDrop = 1;
std::uint32_t inChildProcess(const std::function<void()>& body, bool unprivileged = false) {
    const std::optional<std::string> report = storagetest::childProcessReport([&] {
        std::uint32_t result = 0;
        if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            result = kNoPrivilegeDrop;
        } else {
            try {
                body();
            } catch (const StorageError& e) {
                result = static_cast<std::uint32_t>(e.code());
            } catch (...) {
                result = 2;
            }
        }
        return std::string(reinterpret_cast<const char*>(&result), sizeof result);
    });
    std::uint32_t result = 3;
    if (report && report->size() == sizeof result) {
        std::memcpy(&result, report->data(), sizeof result);
    }
    return result;
}

using CompoundFileTest = storagetest::StorageTest;

}  // namespace

TEST_F(CompoundFileTest, RoundTripThroughOwnAndIndependentReader) {
    const std::string file = path("KvalorData.exd");
    writeSample(file);
    EXPECT_EQ(readSample(file), sampleContents());

    std::optional<CompoundStreamReader> kept;
    {
        const CompoundFileReader reader(QString::fromStdString(file));
        const CompoundStorageReader& root = reader.root();
        EXPECT_EQ(root.stream("Version").size(), 3u);
        EXPECT_EQ(root.storage("Competitors").stream("Data").size(), kUsers.size());
        EXPECT_EQ(root.storage("Studies").stream("Data").size(), 0u);
        // Names are exact and each kind is found only as itself.
        EXPECT_FALSE(root.findStream("version").has_value());
        EXPECT_FALSE(root.findStorage("Version").has_value());
        EXPECT_FALSE(root.findStream("SimpleTests").has_value());
        EXPECT_FALSE(root.findStorage("ComplexTasks").has_value());
        EXPECT_EQ(errorOf([&] { root.storage("ComplexTasks"); }), StorageResult::FileNotFound);
        EXPECT_EQ(errorOf([&] { root.storage("Studies").stream("Info"); }),
                  StorageResult::FileNotFound);
        kept = root.storage("SimpleTests").findStream("Data");
    }
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->readAll(), kTests);  // a stream outlives the reader it came from

    const std::optional<std::string> listing = storagetest::runOlefileList("digest", file);
    if (!listing) {
        GTEST_SKIP() << "python3 with olefile is not available";
    }
    auto stream = [](const std::string& path, const std::string& bytes) {
        const QByteArray digest =
            QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256);
        return "S " + path + " " + std::to_string(bytes.size()) + " " +
               digest.toHex().toStdString() + "\n";
    };
    const std::string expected = "D Competitors\n" + stream("Competitors/Data", kUsers) +
                                 "D ComplexTests\n"
                                 "D ComplexTests/Inner\n" +
                                 stream("ComplexTests/Inner/Data", kInner) + "D SimpleTests\n" +
                                 stream("SimpleTests/Data", kTests) + "D Studies\n" +
                                 stream("Studies/Data", "") + stream("Version", kVersion);
    EXPECT_EQ(*listing, expected);
}

// A stream written a part at a time, across the size below which streams are kept in small
// blocks, makes the same file as one written whole.
TEST_F(CompoundFileTest, AStreamWrittenInPartsMakesTheSameFile) {
    const std::string content = pattern(20000, 7);
    writeSingleStream(path("Whole.exd"), content);
    CompoundFileWriter writer(QString::fromStdString(path("Parts.exd")));
    CompoundStreamWriter stream = writer.root().createStorage("Studies").createStream("Data");
    for (std::size_t at = 0; at < content.size(); at += 3000) {
        stream.write(std::string_view(content).substr(at, 3000));
    }
    stream.close();
    writer.commit();
    EXPECT_EQ(fileBytes(path("Parts.exd")), fileBytes(path("Whole.exd")));
}

TEST_F(CompoundFileTest, SavingReplacesTheWholeFileInPlace) {
    const std::string file = path("Studies.exd");
    writeSample(file);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);

    writeSingleStream(file, "second");
    {
        const CompoundFileReader reader(QString::fromStdString(file));
        EXPECT_FALSE(reader.root().findStream("Version").has_value());
        EXPECT_FALSE(reader.root().findStorage("SimpleTests").has_value());
        EXPECT_EQ(reader.root().storage("Studies").stream("Data").readAll(), "second");
    }
    struct stat info;
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(folderEntries(folder()), std::set<std::string>{"Studies.exd"});

    // A save through a link replaces the file it points to and keeps the link.
    const std::string link = path("link.exd");
    ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);
    writeSingleStream(link, "third");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readSingleStream(file), "third");

    // A writer given up before commit changes nothing and leaves nothing behind.
    {
        CompoundFileWriter writer(QString::fromStdString(file));
        writer.root().createStorage("Studies").writeStream("Data", "abandoned");
    }
    EXPECT_EQ(readSingleStream(file), "third");
    EXPECT_EQ(folderEntries(folder()), (std::set<std::string>{"Studies.exd", "link.exd"}));

    // Two elements of one name would leave readers seeing only one of them.
    CompoundFileWriter writer(QString::fromStdString(file));
    writer.root().writeStream("Version", kVersion);
    EXPECT_THROW(writer.root().createStorage("Version"), std::invalid_argument);
}

TEST_F(CompoundFileTest, ReadingWhatIsNoCompoundFile) {
    EXPECT_EQ(readError(path("missing.exd")), StorageResult::FileNotFound);
    EXPECT_EQ(readError(path("no-folder/KvalorData.exd")), StorageResult::PathNotFound);

    writeBytes(path("text.exd"), "Just some text, long enough to hold a header? No.\n");
    EXPECT_EQ(readError(path("text.exd")), StorageResult::NotCompoundFile);
    writeBytes(path("empty.exd"), "");
    EXPECT_EQ(readError(path("empty.exd")), StorageResult::NotCompoundFile);
    writeBytes(path("short.exd"), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "rest");
    EXPECT_EQ(readError(path("short.exd")), StorageResult::DamagedFile);

    ASSERT_TRUE(fs::create_directory(path("folder.exd")));
    EXPECT_EQ(readError(path("folder.exd")), StorageResult::AccessDenied);
    EXPECT_EQ(createError(path("folder.exd")), StorageResult::AccessDenied);
    // A pipe would block an ordinary open until someone writes to it.
    ASSERT_EQ(::mkfifo(path("pipe.exd").c_str(), 0600), 0);
    EXPECT_EQ(readError(path("pipe.exd")), StorageResult::AccessDenied);
}

TEST_F(CompoundFileTest, TruncatedFileFailsOrReadsTheSameContent) {
    const std::string original = path("original.exd");
    writeSample(original);
    const std::string bytes = fileBytes(original);
    ASSERT_GT(bytes.size(), 4096u);

    const std::string file = path("cut.exd");
    std::size_t failures = 0;
    // Every length within the header and the first sector, then cuts at, around and within
    // every later sector.
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const std::size_t inSector = length % 512;
        if (length < 1024 || inSector <= 1 || inSector == 511 || length % 61 == 0) {
            lengths.push_back(length);
        }
    }
    for (std::size_t length : lengths) {
        writeBytes(file, bytes.substr(0, length));
        SCOPED_TRACE(length);
        Contents contents;
        const std::optional<StorageResult> error = errorOf([&] { contents = readSample(file); });
        if (length < 512) {
            EXPECT_TRUE(error.has_value());
        }
        if (error) {
            ++failures;
            EXPECT_TRUE(*error == StorageResult::NotCompoundFile ||
                        *error == StorageResult::DamagedFile)
                << formatResultCode(*error).toStdString();
        } else {
            EXPECT_EQ(contents, sampleContents());
        }
        if (HasFailure()) {
            break;
        }
    }
    // The allocation table is written last, so every cut is noticed.
    EXPECT_EQ(failures, lengths.size());
}

TEST_F(CompoundFileTest, DamagedTablesAndDirectoryFailWithStorageErrors) {
    const std::string original = path("original.exd");
    writeSample(original);
    const std::string bytes = fileBytes(original);
    // Header fields: directory start at 0x30, first allocation-table sector at 0x4C.
    const std::size_t sector = 512;
    const std::size_t directory = sector * (1 + le32(bytes, 0x30));
    const std::size_t table = sector * (1 + le32(bytes, 0x4C));
    ASSERT_LE(directory + 2 * sector, bytes.size());
    ASSERT_LE(table + sector, bytes.size());

    // Every header field; in each directory entry the name's ends, its length, type, links,
    // first sector and size; the low byte of every allocation-table entry.
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < 0x50; ++i) {
        offsets.push_back(i);
    }
    for (std::size_t entry = directory; entry < directory + 2 * sector; entry += 128) {
        for (std::size_t i : {0, 1, 2, 3}) {
            offsets.push_back(entry + i);
        }
        for (std::size_t i = 62; i < 80; ++i) {
            offsets.push_back(entry + i);
        }
        for (std::size_t i = 116; i < 124; ++i) {
            offsets.push_back(entry + i);
        }
    }
    for (std::size_t i = 0; i < sector; i += 4) {
        offsets.push_back(table + i);
    }

    const std::string file = path("damaged.exd");
    std::size_t rejected = 0;
    for (std::size_t offset : offsets) {
        for (unsigned char value : {0x00, 0x01, 0xFF}) {
            std::string damaged = bytes;
            damaged[offset] = static_cast<char>(value);
            writeBytes(file, damaged);
            // Any outcome but a crash, a hang or an error of another kind is acceptable:
            // a change in an unused field leaves the file readable.
            try {
                readSample(file);
            } catch (const StorageError&) {
                ++rejected;
            }
        }
    }
    EXPECT_GT(rejected, 0u);
}

TEST_F(CompoundFileTest, OneOpenerAtATimeWithinTheProcess) {
    const std::string file = path("KvalorData.exd");
    writeSample(file);
    {
        const CompoundFileReader first(QString::fromStdString(file));
        EXPECT_EQ(readError(file), StorageResult::ShareViolation);
        EXPECT_EQ(createError(file), StorageResult::ShareViolation);
    }
    EXPECT_EQ(readError(file), std::nullopt);

    {
        CompoundFileWriter writer(QString::fromStdString(file));
        EXPECT_EQ(readError(file), StorageResult::ShareViolation);
        EXPECT_EQ(createError(file), StorageResult::ShareViolation);
        writer.root().createStorage("Studies").writeStream("Data", "new");
        writer.commit();
        // A committed writer holds nothing any more.
        EXPECT_EQ(readSingleStream(file), "new");
    }
    {
        // Nor does a program started while the file was being written.
        CompoundFileWriter writer(QString::fromStdString(file));
        QProcess program;
        program.start("sleep", {"30"});
        ASSERT_TRUE(program.waitForStarted());
        writer.root().createStorage("Studies").writeStream("Data", "again");
        writer.commit();
        EXPECT_EQ(readError(file), std::nullopt);
        program.kill();
        program.waitForFinished();
    }
}

TEST_F(CompoundFileTest, FileOpenInAnotherProcessIsAShareViolation) {
    const std::string file = path("KvalorData.exd");
    writeSample(file);
    const std::string before = fileBytes(file);

    ForeignReader other(file);
    ASSERT_TRUE(other.holding());
    EXPECT_EQ(readError(file), StorageResult::ShareViolation);
    EXPECT_EQ(createError(file), StorageResult::ShareViolation);
    EXPECT_EQ(fileBytes(file), before);

    other.release();
    EXPECT_EQ(readSample(file), sampleContents());
    writeSingleStream(file, "after");
    EXPECT_EQ(readSingleStream(file), "after");
}

TEST_F(CompoundFileTest, InterruptedSaveLeavesThePreviousFile) {
    const std::string file = path("KvalorData.exd");
    writeSample(file);
    const std::string before = fileBytes(file);

    // Killed half-way, before the commit.
    const pid_t pid = ::fork();
    if (pid == 0) {
        CompoundFileWriter writer(QString::fromStdString(file));
        writer.root().createStorage("Studies").writeStream("Data", pattern(20000, 9));
        ::raise(SIGKILL);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(fileBytes(file), before);
    EXPECT_EQ(readSample(file), sampleContents());
    // Only a hidden leftover remains beside the file, never under its name.
    for (const std::string& name : folderEntries(folder())) {
        EXPECT_TRUE(name == "KvalorData.exd" || name.rfind(".KvalorData.exd.", 0) == 0) << name;
    }

    // A write that fails in the middle of the commit (here: over the file size limit).
    const std::uint32_t result = inChildProcess([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{2048, 2048};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        writeSingleStream(file, pattern(20000, 10));
    });
    EXPECT_EQ(static_cast<StorageResult>(result), StorageResult::WriteFault);
    EXPECT_EQ(fileBytes(file), before);
    const std::set<std::string> entries = folderEntries(folder());
    EXPECT_EQ(entries.size(), 2u);  // the file and the leftover of the killed save

    writeSingleStream(file, "saved");
    EXPECT_EQ(readSingleStream(file), "saved");
}

TEST_F(CompoundFileTest, FoldersAndFilesWithoutAccess) {
    EXPECT_EQ(createError(path("no-folder/KvalorData.exd")), StorageResult::PathNotFound);
    writeBytes(path("plain"), "");
    EXPECT_EQ(createError(path("plain/KvalorData.exd")), StorageResult::PathNotFound);

    const std::string file = path("KvalorData.exd");
    writeSample(file);
    const std::string before = fileBytes(file);
    // The account that runs the checks needs to reach the folder.
    ASSERT_EQ(::chmod(folder().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);

    const std::uint32_t readOnlyFile = inChildProcess([&] { writeSingleStream(file, "x"); }, true);
    if (readOnlyFile == kNoPrivilegeDrop) {
        GTEST_SKIP() << "cannot drop root privileges";
    }
    EXPECT_EQ(static_cast<StorageResult>(readOnlyFile), StorageResult::AccessDenied);
    EXPECT_EQ(inChildProcess([&] { readSample(file); }, true), 0u);

    ASSERT_EQ(::chmod(file.c_str(), 0000), 0);
    EXPECT_EQ(static_cast<StorageResult>(inChildProcess([&] { readSample(file); }, true)),
              StorageResult::AccessDenied);

    // A folder where no file may be created.
    ASSERT_EQ(::chmod(folder().c_str(), 0555), 0);
    const std::string created = path("Studies.exd");
    EXPECT_EQ(
        static_cast<StorageResult>(inChildProcess([&] { writeSingleStream(created, "x"); }, true)),
        StorageResult::AccessDenied);
    ASSERT_EQ(::chmod(folder().c_str(), 0755), 0);
    EXPECT_EQ(fileBytes(file), before);
}
