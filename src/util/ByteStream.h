#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

// Objects read from stored data may take at most this many bytes of memory for each byte of
// the stream they come from. Every kind of entry keeps within it (see EntryCost), so that a
// reader never refuses what a writer stored, while a damaged count that the bytes could
// still hold cannot make the objects outgrow their stream by more than this factor.
inline constexpr std::size_t kMaxMemoryPerStoredByte = 16;

// What one object costs once made on the heap and held by an owning pointer: the allocator's
// own bookkeeping and the pointer besides the object.
constexpr std::size_t OwnedObjectBytes(std::size_t objectSize) {
    return objectSize + 16 + sizeof(void*);
}

// One entry of a stored list: the fewest bytes it takes in a stream and the most memory it
// takes once read. An entry that claimed more memory than kMaxMemoryPerStoredByte times its
// bytes does not compile.
struct EntryCost {
    std::size_t storedBytes;
    std::size_t memoryBytes;

    consteval EntryCost(std::size_t stored, std::size_t memory)
        : storedBytes(stored), memoryBytes(memory) {
        if (stored == 0 || memory > kMaxMemoryPerStoredByte * stored) {
            throw "an entry may not cost more memory than its stored bytes pay for";
        }
    }
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
    // Passes over a stored string without copying it.
    void skipString();
    // Reads a signed count of entries and fails at once when the rest of the stream cannot
    // hold that many or their memory would exceed what is left of the memory budget, which
    // the entries then take: a damaged count never leads to a large allocation.
    std::int32_t readCount(const EntryCost& cost);
    // Takes the memory of one entry read outside a counted list from the budget.
    void chargeMemory(const EntryCost& cost) { takeMemory(cost.memoryBytes); }

    // The memory that objects read from this stream may take: kMaxMemoryPerStoredByte times
    // its size unless set otherwise (unpacked data gets what its packed bytes allow).
    std::size_t memoryBudget() const;
    void setMemoryBudget(std::size_t bytes) { memoryBudget_ = bytes; }
    // What the objects read so far have taken of it.
    std::size_t memoryUsed() const { return memoryUsed_; }

private:
    void require(std::size_t count) const;
    std::size_t readStringLength();
    void takeMemory(std::size_t bytes);

    std::string data_;
    std::size_t pos_ = 0;
    std::optional<std::size_t> memoryBudget_;
    std::size_t memoryUsed_ = 0;
};

}  // namespace kvalor
