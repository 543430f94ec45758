#include "storage/CompoundFile.h"

#include <gsf/gsf-infile-impl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace kvalor {

namespace detail {

GsfObjectRef::GsfObjectRef(const GsfObjectRef& other) noexcept : object_(other.object_) {
    if (object_ != nullptr) {
        g_object_ref(object_);
    }
}

GsfObjectRef& GsfObjectRef::operator=(const GsfObjectRef& other) noexcept {
    GsfObjectRef copy(other);
    std::swap(object_, copy.object_);
    return *this;
}

GsfObjectRef& GsfObjectRef::operator=(GsfObjectRef&& other) noexcept {
    std::swap(object_, other.object_);
    return *this;
}

GsfObjectRef::~GsfObjectRef() {
    if (object_ != nullptr) {
        g_object_unref(object_);
    }
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int UniqueFd::release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

}  // namespace detail

namespace {

using detail::GsfObjectRef;
using detail::UniqueFd;
using Operation = StorageError::Operation;

constexpr std::size_t kHeaderSize = 512;
constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr int kMaxNameLength = 31;  // UTF-16 units, without the terminator

[[noreturn]] void failReading(StorageResult code) {
    throw StorageError(code, Operation::Reading);
}

[[noreturn]] void failWriting(StorageResult code) {
    throw StorageError(code, Operation::Writing);
}

[[noreturn]] void fail(Operation operation, StorageResult code) {
    throw StorageError(code, operation);
}

// The result code for an errno of the platform; `otherwise` where no code says more.
StorageResult resultOf(int error, StorageResult otherwise) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return StorageResult::AccessDenied;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return StorageResult::PathNotFound;
        case EWOULDBLOCK:
            return StorageResult::ShareViolation;
        case ENOSPC:
        case EDQUOT:
            return StorageResult::DiskFull;
        case ENOMEM:
            return StorageResult::InsufficientMemory;
        default:
            return otherwise;
    }
}

void ensureGsf() {
    static const bool initialised = [] {
        gsf_init();
        // A damaged file is reported through its result code; libgsf's console diagnostics
        // about the same damage would only be noise.
        g_log_set_handler(
            "libgsf:msole", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        return true;
    }();
    (void)initialised;
}

std::string localPath(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

// Opens the file and takes its exclusive lock. Returns no descriptor when the file does not
// exist. The lock must end up on the file that the path names: a writer may have renamed a
// new file over it between our open and our lock.
UniqueFd openLocked(const std::string& path, int flags, Operation operation) {
    const StorageResult ioFault =
        operation == Operation::Reading ? StorageResult::ReadFault : StorageResult::WriteFault;
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Non-blocking so that opening a pipe cannot hang; it is refused below.
        UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK));
        if (!fd.isOpen()) {
            if (errno == ENOENT) {
                return UniqueFd();
            }
            fail(operation, resultOf(errno, ioFault));
        }
        struct stat opened;
        if (::fstat(fd.get(), &opened) != 0) {
            fail(operation, resultOf(errno, ioFault));
        }
        if (!S_ISREG(opened.st_mode)) {
            fail(operation, StorageResult::AccessDenied);
        }
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            fail(operation, resultOf(errno, StorageResult::ShareViolation));
        }
        struct stat named;
        if (::stat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino) {
            return fd;
        }
    }
    fail(operation, StorageResult::ShareViolation);
}

bool startsWithSignature(const guint8* bytes, std::size_t size) {
    return size >= sizeof kSignature && std::memcmp(bytes, kSignature, sizeof kSignature) == 0;
}

}  // namespace

// ---- Reading ----

std::string CompoundStreamReader::readAll() const {
    std::string bytes(size_, '\0');
    if (size_ == 0) {
        return bytes;
    }
    auto* input = static_cast<GsfInput*>(input_.get());
    if (gsf_input_seek(input, 0, G_SEEK_SET) ||
        gsf_input_read(input, size_, reinterpret_cast<guint8*>(bytes.data())) == nullptr) {
        failReading(StorageResult::DamagedFile);
    }
    return bytes;
}

bool CompoundStreamReader::readNext(std::string& chunk, std::size_t most) {
    auto* input = static_cast<GsfInput*>(input_.get());
    const gsf_off_t left = gsf_input_remaining(input);
    if (left <= 0) {
        return false;
    }
    chunk.resize(std::min(most, static_cast<std::size_t>(left)));
    if (gsf_input_read(input, chunk.size(), reinterpret_cast<guint8*>(chunk.data())) == nullptr) {
        failReading(StorageResult::DamagedFile);
    }
    return true;
}

std::optional<GsfObjectRef> CompoundStorageReader::findChild(const std::string& name,
                                                             bool wantStorage) const {
    auto* infile = static_cast<GsfInfile*>(infile_.get());
    const int count = gsf_infile_num_children(infile);
    for (int i = 0; i < count; ++i) {
        const char* childName = gsf_infile_name_by_index(infile, i);
        if (childName == nullptr || name != childName) {
            continue;
        }
        // The class function rather than gsf_infile_child_by_index, which prints libgsf's
        // complaint about a child it cannot open to the console; ours is the result code.
        GError* error = nullptr;
        GsfObjectRef child(G_TYPE_INSTANCE_GET_CLASS(infile, GSF_INFILE_TYPE, GsfInfileClass)
                               ->child_by_index(infile, i, &error));
        g_clear_error(&error);
        if (child.get() == nullptr) {
            failReading(StorageResult::DamagedFile);
        }
        const bool isStorage =
            GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0;
        if (isStorage == wantStorage) {
            return child;
        }
    }
    return std::nullopt;
}

std::optional<CompoundStorageReader> CompoundStorageReader::findStorage(
    const std::string& name) const {
    std::optional<GsfObjectRef> child = findChild(name, true);
    if (!child) {
        return std::nullopt;
    }
    return CompoundStorageReader(std::move(*child), fileSize_);
}

std::optional<CompoundStreamReader> CompoundStorageReader::findStream(
    const std::string& name) const {
    std::optional<GsfObjectRef> child = findChild(name, false);
    if (!child) {
        return std::nullopt;
    }
    // The size comes from the file and may lie; it is checked before anything is allocated.
    const gsf_off_t size = gsf_input_size(static_cast<GsfInput*>(child->get()));
    if (size < 0 || static_cast<std::uint64_t>(size) > fileSize_) {
        failReading(StorageResult::DamagedFile);
    }
    return CompoundStreamReader(std::move(*child), static_cast<std::uint64_t>(size));
}

CompoundStorageReader CompoundStorageReader::storage(const std::string& name) const {
    std::optional<CompoundStorageReader> found = findStorage(name);
    if (!found) {
        failReading(StorageResult::FileNotFound);
    }
    return std::move(*found);
}

CompoundStreamReader CompoundStorageReader::stream(const std::string& name) const {
    std::optional<CompoundStreamReader> found = findStream(name);
    if (!found) {
        failReading(StorageResult::FileNotFound);
    }
    return std::move(*found);
}

namespace {

UniqueFd openForReading(const QString& fileName) {
    UniqueFd fd = openLocked(localPath(fileName), O_RDONLY, Operation::Reading);
    if (!fd.isOpen()) {
        const bool folderExists = QFileInfo(QFileInfo(fileName).absolutePath()).isDir();
        failReading(folderExists ? StorageResult::FileNotFound : StorageResult::PathNotFound);
    }
    return fd;
}

// Reads up to `size` bytes of the file from its start; returns how many there were.
std::size_t readFileStart(int fd, guint8* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = ::pread(fd, buffer + done, size - done, off_t(done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            failReading(resultOf(errno, StorageResult::ReadFault));
        }
        if (count == 0) {
            break;
        }
        done += static_cast<std::size_t>(count);
    }
    return done;
}

// A second descriptor of the same open file, closed on exec: one inherited by a program that
// this process starts meanwhile would hold the file's lock for as long as that program runs.
UniqueFd duplicate(int fd) {
    return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

// The file on disk as libgsf input, through a descriptor of its own that shares the lock.
GsfObjectRef diskInput(int fd) {
    UniqueFd own = duplicate(fd);
    FILE* file = own.isOpen() ? ::fdopen(own.get(), "rb") : nullptr;
    if (file == nullptr) {
        failReading(resultOf(errno, StorageResult::ReadFault));
    }
    own.release();
    GsfObjectRef input(gsf_input_stdio_new_FILE("", file, FALSE));
    if (input.get() == nullptr) {
        std::fclose(file);
        failReading(StorageResult::ReadFault);
    }
    return input;
}

}  // namespace

CompoundFileReader::CompoundFileReader(const QString& fileName, Reading reading)
    : fd_(openForReading(fileName)), root_(parse(fd_.get(), reading)) {}

CompoundStorageReader CompoundFileReader::parse(int fd, Reading reading) {
    ensureGsf();
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        failReading(resultOf(errno, StorageResult::ReadFault));
    }
    const auto fileSize = static_cast<std::size_t>(info.st_size);
    if (fileSize < sizeof kSignature) {
        failReading(StorageResult::NotCompoundFile);
    }
    const std::size_t wanted =
        reading == Reading::InMemory ? fileSize : std::min(fileSize, kHeaderSize);
    std::unique_ptr<guint8, decltype(&g_free)> buffer(static_cast<guint8*>(g_try_malloc(wanted)),
                                                      &g_free);
    if (buffer == nullptr) {
        failReading(StorageResult::InsufficientMemory);
    }
    const std::size_t read = readFileStart(fd, buffer.get(), wanted);
    const std::size_t size = reading == Reading::InMemory ? read : fileSize;

    if (!startsWithSignature(buffer.get(), read)) {
        failReading(StorageResult::NotCompoundFile);
    }
    if (size < kHeaderSize || read < std::min(size, kHeaderSize)) {
        failReading(StorageResult::DamagedFile);
    }
    const GsfObjectRef input =
        reading == Reading::InMemory
            ? GsfObjectRef(gsf_input_memory_new(buffer.release(), gsf_off_t(size), TRUE))
            : diskInput(fd);
    GError* error = nullptr;
    GsfObjectRef root(gsf_infile_msole_new(static_cast<GsfInput*>(input.get()), &error));
    g_clear_error(&error);
    if (root.get() == nullptr) {
        failReading(StorageResult::DamagedFile);
    }
    return CompoundStorageReader(std::move(root), size);
}

// ---- Writing ----

void CompoundStorageWriter::claimName(const std::string& name) {
    if (*closed_) {
        throw std::logic_error("compound file already closed");
    }
    const qsizetype length = QString::fromUtf8(name).size();
    if (length == 0 || length > kMaxNameLength || name.find_first_of("/\\:!") != name.npos) {
        throw std::invalid_argument("invalid compound file element name: " + name);
    }
    // The container would hold both, and readers would see only one of them.
    if (!names_.insert(name).second) {
        throw std::invalid_argument("duplicate compound file element name: " + name);
    }
}

CompoundStorageWriter CompoundStorageWriter::createStorage(const std::string& name) {
    claimName(name);
    GsfObjectRef child(
        gsf_outfile_new_child(static_cast<GsfOutfile*>(outfile_.get()), name.c_str(), TRUE));
    if (child.get() == nullptr) {
        failWriting(StorageResult::WriteFault);
    }
    return CompoundStorageWriter(std::move(child), closed_);
}

void CompoundStorageWriter::writeStream(const std::string& name, std::string_view bytes) {
    CompoundStreamWriter stream = createStream(name);
    stream.write(bytes);
    stream.close();
}

CompoundStreamWriter CompoundStorageWriter::createStream(const std::string& name) {
    claimName(name);
    GsfObjectRef child(
        gsf_outfile_new_child(static_cast<GsfOutfile*>(outfile_.get()), name.c_str(), FALSE));
    if (child.get() == nullptr) {
        failWriting(StorageResult::WriteFault);
    }
    return CompoundStreamWriter(std::move(child));
}

CompoundStreamWriter::~CompoundStreamWriter() {
    if (output_.get() != nullptr && !closed_) {
        gsf_output_close(static_cast<GsfOutput*>(output_.get()));
    }
}

void CompoundStreamWriter::write(std::string_view bytes) {
    if (closed_) {
        throw std::logic_error("compound file stream already closed");
    }
    if (!bytes.empty() && !gsf_output_write(static_cast<GsfOutput*>(output_.get()), bytes.size(),
                                            reinterpret_cast<const guint8*>(bytes.data()))) {
        failWriting(resultOf(errno, StorageResult::WriteFault));
    }
}

void CompoundStreamWriter::close() {
    if (closed_) {
        throw std::logic_error("compound file stream already closed");
    }
    closed_ = true;
    if (!gsf_output_close(static_cast<GsfOutput*>(output_.get()))) {
        failWriting(resultOf(errno, StorageResult::WriteFault));
    }
}

// The existing file, locked, and the temporary file that will replace it.
struct CompoundFileWriter::Target {
    explicit Target(const QString& fileName);
    ~Target();
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    // Syncs the temporary file, which the container has been written to, and renames it over
    // the target.
    void replace();

    std::string path;
    std::string folder;
    std::string tempPath;  // empty once renamed over the target
    UniqueFd fd;           // no descriptor when there is no file yet
    UniqueFd tempFd;

private:
    void createTemporaryFile(const QFileInfo& target);
    void syncFolder() const;
};

namespace {

// A save of "name" writes ".name.<random>.tmp" beside it, hidden and never matching the file.
std::string temporaryPrefix(const QFileInfo& target) {
    return "." + localPath(target.fileName()) + ".";
}
constexpr std::string_view kTemporarySuffix = ".tmp";

QFileInfo targetOf(const QString& fileName) {
    // Replace what a link points to, as writing in place would, not the link itself.
    const QFileInfo given(fileName);
    return QFileInfo(given.exists() ? given.canonicalFilePath() : given.absoluteFilePath());
}

}  // namespace

CompoundFileWriter::Target::Target(const QString& fileName) {
    const QFileInfo target = targetOf(fileName);
    path = localPath(target.filePath());
    folder = localPath(target.absolutePath());
    // Opened for writing, so that a read-only file is refused as writing in place would be.
    fd = openLocked(path, O_RDWR, Operation::Writing);
    createTemporaryFile(target);
}

void CompoundFileWriter::Target::createTemporaryFile(const QFileInfo& target) {
    const std::string prefix = folder + "/" + temporaryPrefix(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            prefix + QByteArray::number(QRandomGenerator::global()->generate(), 16).toStdString() +
            std::string(kTemporarySuffix);
        // 0666 lets the umask decide, as for any new file.
        tempFd = UniqueFd(
            ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (tempFd.isOpen()) {
            tempPath = candidate;
            break;
        }
        if (errno != EEXIST) {
            failWriting(errno == ENOENT ? StorageResult::PathNotFound
                                        : resultOf(errno, StorageResult::WriteFault));
        }
    }
    if (!tempFd.isOpen()) {
        failWriting(StorageResult::WriteFault);
    }
    try {
        if (::flock(tempFd.get(), LOCK_EX | LOCK_NB) != 0) {
            failWriting(resultOf(errno, StorageResult::WriteFault));
        }
        // The replacement keeps the permissions of the file it replaces.
        struct stat existing;
        if (fd.isOpen() && (::fstat(fd.get(), &existing) != 0 ||
                            ::fchmod(tempFd.get(), existing.st_mode & 07777) != 0)) {
            failWriting(resultOf(errno, StorageResult::WriteFault));
        }
    } catch (...) {
        ::unlink(tempPath.c_str());
        throw;
    }
}

CompoundFileWriter::Target::~Target() {
    if (!tempPath.empty()) {
        ::unlink(tempPath.c_str());
    }
}

void CompoundFileWriter::Target::replace() {
    if (::fsync(tempFd.get()) != 0) {
        failWriting(resultOf(errno, StorageResult::WriteFault));
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        failWriting(errno == ENOENT ? StorageResult::PathNotFound
                                    : resultOf(errno, StorageResult::WriteFault));
    }
    tempPath.clear();
    syncFolder();
}

void CompoundFileWriter::Target::syncFolder() const {
    // Without read access to the folder there is no way to sync it; the file itself is synced.
    const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.isOpen() && ::fsync(dir.get()) != 0 && errno != EINVAL) {
        failWriting(resultOf(errno, StorageResult::WriteFault));
    }
}

namespace {

// The container goes straight to the temporary file, through a descriptor of its own, so that
// the file's bytes are never held in memory; the temporary file's lock stays with tempFd.
GsfObjectRef newFileSink(int tempFd, const std::string& tempPath) {
    ensureGsf();
    UniqueFd fd = duplicate(tempFd);
    FILE* file = fd.isOpen() ? ::fdopen(fd.get(), "wb") : nullptr;
    if (file == nullptr) {
        failWriting(resultOf(errno, StorageResult::WriteFault));
    }
    fd.release();
    GsfObjectRef sink(gsf_output_stdio_new_FILE(tempPath.c_str(), file, FALSE));
    if (sink.get() == nullptr) {
        std::fclose(file);
        failWriting(StorageResult::WriteFault);
    }
    return sink;
}

GsfObjectRef newContainer(const GsfObjectRef& sink) {
    return GsfObjectRef(gsf_outfile_msole_new(static_cast<GsfOutput*>(sink.get())));
}

}  // namespace

CompoundFileWriter::CompoundFileWriter(const QString& fileName)
    : target_(std::make_unique<Target>(fileName)),
      sink_(newFileSink(target_->tempFd.get(), target_->tempPath)),
      outfile_(newContainer(sink_)),
      closed_(std::make_shared<bool>(false)),
      root_(outfile_, closed_) {}

CompoundFileWriter::~CompoundFileWriter() {
    if (!*closed_) {
        // The libgsf root holds a reference to itself until it is closed; the sink's file goes
        // with the temporary file.
        gsf_output_close(static_cast<GsfOutput*>(outfile_.get()));
        if (!gsf_output_is_closed(static_cast<GsfOutput*>(sink_.get()))) {
            gsf_output_close(static_cast<GsfOutput*>(sink_.get()));
        }
    }
}

void CompoundFileWriter::commit() {
    if (*closed_) {
        throw std::logic_error("compound file already closed");
    }
    *closed_ = true;
    // Released whatever the outcome: an unfinished temporary file goes, the locks go.
    const std::unique_ptr<Target> target = std::move(target_);
    auto* sink = static_cast<GsfOutput*>(sink_.get());
    // libgsf reports a failed write only here. Closing the container closes the sink, which
    // flushes and closes its file.
    const bool closed = gsf_output_close(static_cast<GsfOutput*>(outfile_.get()));
    const int closeErrno = errno;
    const bool sinkClosed = gsf_output_is_closed(sink) || gsf_output_close(sink);
    if (!closed || !sinkClosed || gsf_output_error(sink) != nullptr) {
        failWriting(resultOf(closeErrno, StorageResult::WriteFault));
    }
    target->replace();
}

int RemoveAbandonedTemporaryFiles(const QString& fileName) {
    const QFileInfo target = targetOf(fileName);
    const std::string prefix = temporaryPrefix(target);
    const QDir folder = target.absoluteDir();
    int removed = 0;
    for (const QString& entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const std::string name = localPath(entry);
        if (!name.starts_with(prefix) || !name.ends_with(kTemporarySuffix)) {
            continue;
        }
        // A save keeps its temporary file locked until it renames or removes it, so a file that
        // can be locked belongs to a save that was killed.
        const std::string path = localPath(folder.filePath(entry));
        const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (fd.isOpen() && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
            ::unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace kvalor
