#include "util/Guid.h"

#include <QUuid>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kvalor {

namespace {

Guid fromUuid(const QUuid& uuid) {
    Guid::Bytes b{};
    const std::uint32_t d1 = uuid.data1;
    b[0] = d1 & 0xFF;
    b[1] = (d1 >> 8) & 0xFF;
    b[2] = (d1 >> 16) & 0xFF;
    b[3] = (d1 >> 24) & 0xFF;
    b[4] = uuid.data2 & 0xFF;
    b[5] = (uuid.data2 >> 8) & 0xFF;
    b[6] = uuid.data3 & 0xFF;
    b[7] = (uuid.data3 >> 8) & 0xFF;
    std::memcpy(&b[8], uuid.data4, 8);
    return Guid(b);
}

}  // namespace

Guid Guid::create() {
    return fromUuid(QUuid::createUuid());
}

std::optional<Guid> Guid::fromString(const QString& text) {
    if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') {
        return std::nullopt;
    }
    const QUuid uuid(text);
    if (uuid.isNull() && text.compare(Guid().toQString(), Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    return fromUuid(uuid);
}

Guid Guid::fromLiteral(const char* text) {
    const auto id = fromString(QString::fromLatin1(text));
    if (!id) {
        std::fprintf(stderr, "malformed id literal %s\n", text);
        std::abort();
    }
    return *id;
}

bool Guid::isNull() const {
    for (auto byte : bytes_) {
        if (byte != 0) {
            return false;
        }
    }
    return true;
}

std::string Guid::toString() const {
    const auto& b = bytes_;
    char text[39];
    std::snprintf(text, sizeof text,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return std::string(text, 38);
}

}  // namespace kvalor

std::size_t std::hash<kvalor::Guid>::operator()(const kvalor::Guid& id) const noexcept {
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
    std::memcpy(&lo, id.bytes().data(), 8);
    std::memcpy(&hi, id.bytes().data() + 8, 8);
    return std::hash<std::uint64_t>{}(lo ^ (hi * 0x9E3779B97F4A7C15ULL));
}
