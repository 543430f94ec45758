#include "util/ByteStream.h"

#include <bit>
#include <cstring>

#include "util/Error.h"

namespace kvalor {

namespace {

[[noreturn]] void throwTruncated() {
    throw ReadError(kDamagedDataMessage);
}

}  // namespace

std::string ByteStream::takeData() {
    pos_ = 0;
    return std::move(data_);
}

void ByteStream::seek(std::size_t position) {
    if (position > data_.size()) {
        throwTruncated();
    }
    pos_ = position;
}

void ByteStream::resize(std::size_t size) {
    data_.resize(size);
    if (pos_ > size) {
        pos_ = size;
    }
}

void ByteStream::writeBytes(const void* bytes, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (pos_ == data_.size()) {
        data_.append(static_cast<const char*>(bytes), count);
    } else {
        if (pos_ + count > data_.size()) {
            data_.resize(pos_ + count);
        }
        std::memcpy(data_.data() + pos_, bytes, count);
    }
    pos_ += count;
}

void ByteStream::writeU8(std::uint8_t value) {
    writeBytes(&value, 1);
}

void ByteStream::writeU32(std::uint32_t value) {
    const unsigned char b[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    writeBytes(b, 4);
}

void ByteStream::writeI32(std::int32_t value) {
    writeU32(static_cast<std::uint32_t>(value));
}

void ByteStream::writeDouble(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    writeU32(static_cast<std::uint32_t>(bits));
    writeU32(static_cast<std::uint32_t>(bits >> 32));
}

void ByteStream::writeGuid(const Guid& id) {
    writeBytes(id.bytes().data(), 16);
}

void ByteStream::writeString(const std::string& text) {
    writeI32(static_cast<std::int32_t>(text.size()));
    writeBytes(text);
}

void ByteStream::require(std::size_t count) const {
    if (count > remaining()) {
        throwTruncated();
    }
}

std::uint8_t ByteStream::readU8() {
    require(1);
    return static_cast<std::uint8_t>(data_[pos_++]);
}

std::uint32_t ByteStream::readU32() {
    require(4);
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    pos_ += 4;
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t ByteStream::readI32() {
    return static_cast<std::int32_t>(readU32());
}

double ByteStream::readDouble() {
    const std::uint64_t lo = readU32();
    const std::uint64_t hi = readU32();
    return std::bit_cast<double>(lo | (hi << 32));
}

Guid ByteStream::peekGuid() const {
    require(16);
    Guid::Bytes bytes;
    std::memcpy(bytes.data(), data_.data() + pos_, 16);
    return Guid(bytes);
}

Guid ByteStream::readGuid() {
    const Guid id = peekGuid();
    pos_ += 16;
    return id;
}

std::string ByteStream::readBytes(std::size_t count) {
    require(count);
    std::string bytes = data_.substr(pos_, count);
    pos_ += count;
    return bytes;
}

std::size_t ByteStream::readStringLength() {
    const std::int32_t length = readI32();
    if (length < 0) {
        throwTruncated();
    }
    return static_cast<std::size_t>(length);
}

std::string ByteStream::readString() {
    return readBytes(readStringLength());
}

void ByteStream::skipString() {
    const std::size_t length = readStringLength();
    require(length);
    pos_ += length;
}

std::int32_t ByteStream::readCount(const EntryCost& cost) {
    const std::int32_t count = readI32();
    if (count < 0 || static_cast<std::size_t>(count) > remaining() / cost.storedBytes) {
        throwTruncated();
    }
    takeMemory(static_cast<std::size_t>(count) * cost.memoryBytes);
    return count;
}

std::size_t ByteStream::memoryBudget() const {
    return memoryBudget_ ? *memoryBudget_ : kMaxMemoryPerStoredByte * data_.size();
}

void ByteStream::takeMemory(std::size_t bytes) {
    const std::size_t budget = memoryBudget();
    if (memoryUsed_ > budget || bytes > budget - memoryUsed_) {
        throwTruncated();
    }
    memoryUsed_ += bytes;
}

}  // namespace kvalor
