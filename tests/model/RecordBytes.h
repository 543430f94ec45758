#pragma once

#include <bit>
#include <cstdint>
#include <string>

#include "util/Guid.h"

// Builds stored records byte by byte from the documented layout, independently of the writers
// under test.
class RecordBytes {
public:
    RecordBytes& u8(std::uint8_t value) {
        data_.push_back(static_cast<char>(value));
        return *this;
    }
    RecordBytes& i32(std::int32_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            u8(static_cast<std::uint8_t>(bits >> shift));
        }
        return *this;
    }
    RecordBytes& f64(double value) {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        for (int shift = 0; shift < 64; shift += 8) {
            u8(static_cast<std::uint8_t>(bits >> shift));
        }
        return *this;
    }
    RecordBytes& id(const kvalor::Guid& id) {
        for (auto byte : id.bytes()) {
            u8(byte);
        }
        return *this;
    }
    RecordBytes& str(const std::string& text) {
        i32(static_cast<std::int32_t>(text.size()));
        data_ += text;
        return *this;
    }
    RecordBytes& raw(const std::string& bytes) {
        data_ += bytes;
        return *this;
    }
    // Type id, id, Editable, Kind, Number, Name.
    RecordBytes& element(const kvalor::Guid& typeId, const kvalor::Guid& itemId,
                         std::uint8_t editable, std::uint8_t kind, std::int32_t number,
                         const std::string& name) {
        return id(typeId).id(itemId).u8(editable).u8(kind).i32(number).str(name);
    }
    // Type id, id, Flag, Kind, Number, Name, entry count; the entries follow.
    RecordBytes& collection(const kvalor::Guid& typeId, const kvalor::Guid& itemId,
                            std::uint8_t flag, std::uint8_t kind, std::int32_t number,
                            const std::string& name, std::int32_t count) {
        return id(typeId).id(itemId).u8(flag).u8(kind).i32(number).str(name).i32(count);
    }

    const std::string& data() const { return data_; }

private:
    std::string data_;
};
