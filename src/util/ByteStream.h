#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "util/Guid.h"

namespace kvalor {

// The format version that new files are written with.
inline constexpr int kCurrentFormatVersion = 3;

// How deep records may nest in stored data, every level counted: the entries of a collection
// and an element's own lists with their entries (a question's answers lie two levels below
// it). Authors nest a few groups; 256 nested groups with questions at the bottom, which were
// always read, are the most. A deeper record is damaged, and reading it would exhaust the
// stack of every recursive walk over the tree.
inline constexpr int kMaxRecordNesting = 256 + 3;

// What a reader needs to know about the data it reads. The version decides which optional
// fields a record has; it travels with the read, never through a global. The depth counts the
// records that the record being read is nested in.
struct ReadContext {
    int version = kCurrentFormatVersion;
    int depth = 0;
};

// A growable byte buffer with a position and little-endian read and write helpers.
// Every read checks the bytes remaining and raises ReadError instead of reading past the end.
class ByteStream {
public:
    ByteStream() = default;
    explicit ByteStream(std::string bytes) : data_(std::move(bytes)) {}

    const std::string& data() const { return data_; }
    std::string& data() { return data_; }
    std::string takeData();

    std::size_t size() const { return data_.size(); }
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    void seek(std::size_t position);
    // Cuts or extends the buffer (extension with zero bytes); the position is kept within it.
    void resize(std::size_t size);

    void writeU8(std::uint8_t value);
    void writeBool(bool value) { writeU8(value ? 1 : 0); }
    void writeI32(std::int32_t value);
    void writeU32(std::uint32_t value);
    void writeDouble(double value);
    void writeGuid(const Guid& id);
    void writeBytes(const void* bytes, std::size_t count);
    void writeBytes(const std::string& bytes) { writeBytes(bytes.data(), bytes.size()); }
    // A stored string: a 4-byte signed byte count, then the bytes without terminator.
    void writeString(const std::string& text);

    std::uint8_t readU8();
    bool readBool() { return readU8() != 0; }
    std::int32_t readI32();
    std::uint32_t readU32();
    double readDouble();
    Guid readGuid();
    Guid peekGuid() const;
    std::string readBytes(std::size_t count);
    std::string readString();
    // Reads a signed count of entries that take at least minBytesPerEntry bytes each and
    // fails at once when the rest of the stream cannot hold that many: a damaged count
    // never leads to a large allocation.
    std::int32_t readCount(std::size_t minBytesPerEntry);

private:
    void require(std::size_t count) const;

    std::string data_;
    std::size_t pos_ = 0;
};

}  // namespace kvalor
