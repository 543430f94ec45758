#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include <QString>

#include "storage/StorageError.h"

namespace kvalor {

// Compound files (OLE2 structured storage) over libgsf. Element names are case-sensitive;
// ours are short ASCII names such as "Version", "Studies" or "Data".
//
// Reading keeps the whole file in memory (or, if asked, reads it from disk as the streams are
// read) and an exclusive lock on it for as long as the CompoundFileReader lives. Writing goes to a
// temporary file beside the target as the streams are written and, on commit(), syncs it and
// renames it over the file: an interrupted save leaves the previous file as it was. Every failure
// is a StorageError with a structured-storage result code.

namespace detail {

// One reference to a libgsf object; copies take a reference of their own.
class GsfObjectRef {
public:
    GsfObjectRef() = default;
    // Adopts a reference the caller owns.
    explicit GsfObjectRef(void* object) noexcept : object_(object) {}
    GsfObjectRef(const GsfObjectRef& other) noexcept;
    GsfObjectRef& operator=(const GsfObjectRef& other) noexcept;
    GsfObjectRef(GsfObjectRef&& other) noexcept : object_(other.object_) {
        other.object_ = nullptr;
    }
    GsfObjectRef& operator=(GsfObjectRef&& other) noexcept;
    ~GsfObjectRef();

    void* get() const noexcept { return object_; }

private:
    void* object_ = nullptr;
};

// A file descriptor of our own, closed on destruction; the flock on it goes with it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int get() const noexcept { return fd_; }
    bool isOpen() const noexcept { return fd_ >= 0; }
    int release() noexcept;

private:
    int fd_ = -1;
};

}  // namespace detail

// A stream opened for reading. Stays valid after its CompoundFileReader is gone.
class CompoundStreamReader {
public:
    // The size the container reports; never more than the size of the file it came from.
    std::uint64_t size() const noexcept { return size_; }
    // The whole content; DamagedFile when the container cannot deliver it.
    std::string readAll() const;
    // The content a part at a time from its start: replaces chunk with the next bytes, at most
    // `most` of them; false once all are read. DamagedFile as for readAll.
    bool readNext(std::string& chunk, std::size_t most);

private:
    friend class CompoundStorageReader;
    CompoundStreamReader(detail::GsfObjectRef input, std::uint64_t size)
        : input_(std::move(input)), size_(size) {}

    detail::GsfObjectRef input_;
    std::uint64_t size_;
};

// The root or a storage of a compound file opened for reading.
class CompoundStorageReader {
public:
    // The element of that name and kind, or nullopt when there is none.
    // An element that exists but cannot be opened is a DamagedFile error.
    std::optional<CompoundStorageReader> findStorage(const std::string& name) const;
    std::optional<CompoundStreamReader> findStream(const std::string& name) const;
    // The same, failing with FileNotFound when the element is missing.
    CompoundStorageReader storage(const std::string& name) const;
    CompoundStreamReader stream(const std::string& name) const;

private:
    friend class CompoundFileReader;
    CompoundStorageReader(detail::GsfObjectRef infile, std::uint64_t fileSize)
        : infile_(std::move(infile)), fileSize_(fileSize) {}
    std::optional<detail::GsfObjectRef> findChild(const std::string& name, bool wantStorage) const;

    detail::GsfObjectRef infile_;
    std::uint64_t fileSize_;
};

// An existing compound file opened for reading with exclusive access: a second opener, in this
// process or another, gets ShareViolation until the reader is destroyed.
// Fails with FileNotFound, PathNotFound, AccessDenied, ShareViolation, NotCompoundFile,
// DamagedFile, ReadFault or InsufficientMemory.
class CompoundFileReader {
public:
    // Where the streams are read from: the whole file read into memory at once, or the file on
    // disk as they are read, which keeps it open, and locked, as long as any of them lives.
    enum class Reading { InMemory, FromDisk };
    explicit CompoundFileReader(const QString& fileName, Reading reading = Reading::InMemory);
    CompoundFileReader(const CompoundFileReader&) = delete;
    CompoundFileReader& operator=(const CompoundFileReader&) = delete;

    const CompoundStorageReader& root() const noexcept { return root_; }

private:
    // Parses the container of the locked file, read as told.
    static CompoundStorageReader parse(int fd, Reading reading);

    detail::UniqueFd fd_;
    CompoundStorageReader root_;
};

// A stream being written a part at a time. It is finished by close(), or by its destruction
// (then without telling of a failure); another stream of the file may start only then.
class CompoundStreamWriter {
public:
    CompoundStreamWriter(CompoundStreamWriter&&) = default;
    CompoundStreamWriter& operator=(CompoundStreamWriter&&) = delete;
    CompoundStreamWriter(const CompoundStreamWriter&) = delete;
    CompoundStreamWriter& operator=(const CompoundStreamWriter&) = delete;
    ~CompoundStreamWriter();

    void write(std::string_view bytes);
    void close();

private:
    friend class CompoundStorageWriter;
    explicit CompoundStreamWriter(detail::GsfObjectRef output) : output_(std::move(output)) {}

    detail::GsfObjectRef output_;
    bool closed_ = false;
};

// The root or a storage of a compound file being written. A stream is written whole at once,
// or a part at a time through createStream. A name that is empty, longer than 31 characters, holds
// one of / \ : ! or is already used in the storage is a programming error (std::invalid_argument),
// as is writing after the file writer's commit() (std::logic_error).
class CompoundStorageWriter {
public:
    CompoundStorageWriter(CompoundStorageWriter&&) = default;
    CompoundStorageWriter& operator=(CompoundStorageWriter&&) = default;
    CompoundStorageWriter(const CompoundStorageWriter&) = delete;
    CompoundStorageWriter& operator=(const CompoundStorageWriter&) = delete;

    CompoundStorageWriter createStorage(const std::string& name);
    void writeStream(const std::string& name, std::string_view bytes);
    CompoundStreamWriter createStream(const std::string& name);

private:
    friend class CompoundFileWriter;
    CompoundStorageWriter(detail::GsfObjectRef outfile, std::shared_ptr<const bool> closed)
        : outfile_(std::move(outfile)), closed_(std::move(closed)) {}
    void claimName(const std::string& name);

    detail::GsfObjectRef outfile_;
    std::shared_ptr<const bool> closed_;  // set by the file writer once the container is closed
    std::set<std::string> names_;
};

// Creates a compound file, replacing an existing one on commit(). While the writer lives it
// holds the exclusive lock of the existing file, so that nobody reads a file about to be
// replaced; a file that another opener holds gives ShareViolation here.
// The constructor fails with PathNotFound, AccessDenied, ShareViolation, DiskFull or WriteFault;
// commit() with AccessDenied, DiskFull or WriteFault, leaving the previous file intact.
// A writer destroyed without commit() leaves the previous file untouched.
class CompoundFileWriter {
public:
    explicit CompoundFileWriter(const QString& fileName);
    ~CompoundFileWriter();
    CompoundFileWriter(const CompoundFileWriter&) = delete;
    CompoundFileWriter& operator=(const CompoundFileWriter&) = delete;

    CompoundStorageWriter& root() noexcept { return root_; }
    // Closes the container, syncs the temporary file in the same folder and renames it over
    // the target. The writer is finished afterwards, whatever the outcome.
    void commit();

private:
    struct Target;  // the locked target and the temporary file beside it

    std::unique_ptr<Target> target_;
    detail::GsfObjectRef sink_;
    detail::GsfObjectRef outfile_;
    std::shared_ptr<bool> closed_;
    CompoundStorageWriter root_;
};

// Removes the temporary files that saves of the file left behind when they were killed (those
// no writer holds any more); returns how many. For the holder of the file's DataFileLock.
int RemoveAbandonedTemporaryFiles(const QString& fileName);

}  // namespace kvalor
