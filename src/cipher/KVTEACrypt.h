#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "util/ByteStream.h"

namespace kvalor {

// Enciphered bytes (passwords, old data streams) are plain byte strings; the cipher works on
// them in place.
using THash = std::string;

// A 128-bit TEA key as four 32-bit words.
using TeaKey = std::array<std::uint32_t, 4>;

// The TEA block function (32 cycles) on the two words of one 8-byte block.
void TeaEncipherBlock(std::uint32_t& a, std::uint32_t& b, const TeaKey& key);
void TeaDecipherBlock(std::uint32_t& a, std::uint32_t& b, const TeaKey& key);

// The cipher container: "ETA", a pad mark, the body enciphered with a random message key, the
// message key enciphered with the fixed master key and inserted into the body at a random
// position, and that position as one byte at offset 13.
class TKVCustomTEA {
public:
    // An empty string stays empty; anything else becomes a container.
    void encipher(THash& bytes) const;
    // True and the original bytes for a valid container; false and the bytes untouched otherwise.
    bool decipher(THash& bytes) const;

    // The same on the bytes from the stream's position to its end. On success the result
    // replaces them and the position is at the end of the stream; an invalid container leaves
    // the stream (bytes and position) as it was.
    void encipher(ByteStream& stream) const;
    bool decipher(ByteStream& stream) const;
};

// The two roles only tell the reader which way the bytes go.
class TKVTEAEncrypt : public TKVCustomTEA {};
class TKVTEADecrypt : public TKVCustomTEA {};

// Builds the container from parts that encipher() otherwise draws at random: the message key,
// the padding (making the length a multiple of 8) and the key block position
// (4 <= keyPosition <= min(padded length + 4, 254)). Lets the layout be checked with fixed values.
THash AssembleTeaContainer(const THash& bytes, const TeaKey& messageKey, const std::string& padding,
                           int keyPosition);

}  // namespace kvalor
