#include "cipher/KVTEACrypt.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <charconv>

#include "util/Guid.h"
#include "util/Random.h"

namespace kvalor {

namespace {

// The master key under which every container carries its message key. Stored passwords and
// version 2 data files of every installation depend on it: it must never change.
constexpr TeaKey kMasterKey = {0x5A3C9E71u, 0xB4D2076Fu, 0x1E8F6AC3u, 0xC7395D28u};

constexpr std::uint32_t kDelta = 0x9E3779B9u;
constexpr int kCycles = 32;

constexpr char kMagic[] = "ETA";
constexpr std::size_t kMagicSize = 3;
constexpr std::size_t kHeaderSize = 4;  // magic and pad mark
constexpr std::size_t kKeyBlockSize = 16;
constexpr std::size_t kPositionOffset = 13;
// Header, key block and position byte around the padded body.
constexpr std::size_t kOverhead = kHeaderSize + kKeyBlockSize + 1;
constexpr std::size_t kBlockSize = 8;

std::uint32_t loadLittleEndian(const THash& bytes, std::size_t offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void storeLittleEndian(THash& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<char>(value >> (8 * i));
    }
}

std::uint32_t loadBigEndian(const THash& bytes, std::size_t offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

void appendBigEndian(THash& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<char>(value >> shift));
    }
}

// Runs the block function over the 8-byte blocks of bytes[offset, offset + length).
template <typename BlockFunction>
void processBlocks(THash& bytes, std::size_t offset, std::size_t length, const TeaKey& key,
                   BlockFunction blockFunction) {
    for (std::size_t i = offset; i < offset + length; i += kBlockSize) {
        std::uint32_t a = loadLittleEndian(bytes, i);
        std::uint32_t b = loadLittleEndian(bytes, i + 4);
        blockFunction(a, b, key);
        storeLittleEndian(bytes, i, a);
        storeLittleEndian(bytes, i + 4, b);
    }
}

// The key block: K3', K2', K0', K1' big-endian, where (K0', K1') and (K2', K3') are the two
// halves of the message key enciphered under the master key.
THash makeKeyBlock(const TeaKey& messageKey) {
    std::uint32_t k0 = messageKey[0], k1 = messageKey[1];
    std::uint32_t k2 = messageKey[2], k3 = messageKey[3];
    TeaEncipherBlock(k0, k1, kMasterKey);
    TeaEncipherBlock(k2, k3, kMasterKey);
    THash block;
    for (const std::uint32_t word : {k3, k2, k0, k1}) {
        appendBigEndian(block, word);
    }
    return block;
}

TeaKey readKeyBlock(const THash& bytes, std::size_t offset) {
    std::uint32_t k3 = loadBigEndian(bytes, offset);
    std::uint32_t k2 = loadBigEndian(bytes, offset + 4);
    std::uint32_t k0 = loadBigEndian(bytes, offset + 8);
    std::uint32_t k1 = loadBigEndian(bytes, offset + 12);
    TeaDecipherBlock(k0, k1, kMasterKey);
    TeaDecipherBlock(k2, k3, kMasterKey);
    return {k0, k1, k2, k3};
}

// A fresh random key: the 32 hexadecimal digits of a new GUID's text, eight per word.
TeaKey newMessageKey() {
    std::string digits;
    for (const char c : Guid::create().toString()) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits.push_back(c);
        }
    }
    TeaKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        const char* first = digits.data() + 8 * i;
        std::from_chars(first, first + 8, key[i], 16);
    }
    return key;
}

}  // namespace

void TeaEncipherBlock(std::uint32_t& a, std::uint32_t& b, const TeaKey& key) {
    std::uint32_t sum = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        sum += kDelta;
        a += ((b << 4) + key[0]) ^ (b + sum) ^ ((b >> 5) + key[1]);
        b += ((a << 4) + key[2]) ^ (a + sum) ^ ((a >> 5) + key[3]);
    }
}

void TeaDecipherBlock(std::uint32_t& a, std::uint32_t& b, const TeaKey& key) {
    std::uint32_t sum = kDelta * kCycles;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        b -= ((a << 4) + key[2]) ^ (a + sum) ^ ((a >> 5) + key[3]);
        a -= ((b << 4) + key[0]) ^ (b + sum) ^ ((b >> 5) + key[1]);
        sum -= kDelta;
    }
}

THash AssembleTeaContainer(const THash& bytes, const TeaKey& messageKey, const std::string& padding,
                           int keyPosition) {
    THash body = bytes + padding;
    assert(!bytes.empty() && padding.size() < kBlockSize && body.size() % kBlockSize == 0);
    assert(keyPosition >= static_cast<int>(kHeaderSize) &&
           keyPosition <= static_cast<int>(body.size() + kHeaderSize) && keyPosition <= 254);
    processBlocks(body, 0, body.size(), messageKey, TeaEncipherBlock);

    THash container(kMagic, kMagicSize);
    container.push_back(static_cast<char>(padding.size() + 1));
    container += body;
    container.insert(static_cast<std::size_t>(keyPosition), makeKeyBlock(messageKey));
    container.insert(kPositionOffset, 1, static_cast<char>(keyPosition));
    return container;
}

void TKVCustomTEA::encipher(THash& bytes) const {
    if (bytes.empty()) {
        return;
    }
    std::string padding;
    while ((bytes.size() + padding.size()) % kBlockSize != 0) {
        padding.push_back(static_cast<char>(randomBelow(255)));
    }
    const std::size_t paddedLength = bytes.size() + padding.size();
    // The key block goes anywhere from right after the header to right after the body.
    const int bound = static_cast<int>(std::min<std::size_t>(paddedLength + kOverhead, 255));
    const int latest = static_cast<int>(paddedLength + kHeaderSize);
    int keyPosition = 0;
    do {
        keyPosition = std::max(randomBelow(bound), static_cast<int>(kHeaderSize));
    } while (keyPosition > latest);
    bytes = AssembleTeaContainer(bytes, newMessageKey(), padding, keyPosition);
}

bool TKVCustomTEA::decipher(THash& bytes) const {
    const std::size_t size = bytes.size();
    if (size < kOverhead + kBlockSize || (size - kOverhead) % kBlockSize != 0 ||
        bytes.compare(0, kMagicSize, kMagic) != 0) {
        return false;
    }
    const std::size_t padMark = static_cast<unsigned char>(bytes[kMagicSize]);
    const std::size_t keyPosition = static_cast<unsigned char>(bytes[kPositionOffset]);
    // A pad mark of 0 would claim one byte more than the body holds, and the key block must fit
    // in what is left once the position byte is gone.
    if (padMark < 1 || padMark > kBlockSize || keyPosition < kHeaderSize ||
        keyPosition + kKeyBlockSize > size - 1) {
        return false;
    }

    THash work = bytes;
    work.erase(kPositionOffset, 1);
    const TeaKey messageKey = readKeyBlock(work, keyPosition);
    work.erase(keyPosition, kKeyBlockSize);
    const std::size_t paddedLength = size - kOverhead;
    processBlocks(work, kHeaderSize, paddedLength, messageKey, TeaDecipherBlock);
    bytes = work.substr(kHeaderSize, paddedLength - (padMark - 1));
    return true;
}

void TKVCustomTEA::encipher(ByteStream& stream) const {
    const std::size_t position = stream.position();
    THash tail = stream.data().substr(position);
    encipher(tail);
    stream.data().replace(position, THash::npos, tail);
    stream.seek(stream.size());
}

bool TKVCustomTEA::decipher(ByteStream& stream) const {
    const std::size_t position = stream.position();
    THash tail = stream.data().substr(position);
    if (!decipher(tail)) {
        return false;
    }
    stream.data().replace(position, THash::npos, tail);
    stream.seek(stream.size());
    return true;
}

}  // namespace kvalor
