#pragma once

#include <cstddef>

#include "util/ByteStream.h"

namespace kvalor {

// The most that unpacking produces: stored data claiming more is taken as damaged rather than
// allowed to exhaust memory.
inline constexpr std::size_t kMaxUnpackedSize = std::size_t{1} << 30;

// Replaces the whole content of the stream with its zlib compression (level 9) and, for the
// old format versions below 3, wraps that in the cipher container. The position ends at 0.
void PackStream(ByteStream& stream, int version);

// The reverse: for versions below 3 the content is first deciphered (bytes that are no cipher
// container are decompressed as they are), then decompressed. Raises KvalorError when the data
// is no complete zlib stream or would unpack to more than maxSize bytes; the stream is then
// left as it was. On success the position is 0.
void UnpackStream(ByteStream& stream, int version, std::size_t maxSize = kMaxUnpackedSize);

}  // namespace kvalor
