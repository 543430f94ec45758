#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QString>

namespace kvalor {

// A 16-byte id in the usual binary layout: a little-endian 32-bit word, two little-endian
// 16-bit words, then eight bytes. Equality is byte-wise.
class Guid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    constexpr Guid() = default;
    constexpr explicit Guid(const Bytes& bytes) : bytes_(bytes) {}

    static Guid create();
    // Parses the braced form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (letter case ignored).
    static std::optional<Guid> fromString(const QString& text);
    // For ids fixed in the source code; aborts on a malformed literal.
    static Guid fromLiteral(const char* text);

    const Bytes& bytes() const { return bytes_; }
    bool isNull() const;

    // The canonical text form: braced, upper-case hexadecimal, grouped 8-4-4-4-12.
    std::string toString() const;
    QString toQString() const { return QString::fromLatin1(toString().c_str()); }

    friend bool operator==(const Guid&, const Guid&) = default;

private:
    Bytes bytes_{};
};

}  // namespace kvalor

template <>
struct std::hash<kvalor::Guid> {
    std::size_t operator()(const kvalor::Guid& id) const noexcept;
};
