#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

#include "util/ByteStream.h"
#include "util/Error.h"
#include "util/Progress.h"

namespace kvalor {

// The most that one stream may unpack to on this machine: half its physical memory, since a
// stream larger than that could not be loaded together with the objects it describes.
// Readers and writers share it, so that nothing is written that could not be read back here.
std::size_t MaxUnpackedSize();
// Tests put a smaller bound in place; nullopt goes back to the machine's.
void SetMaxUnpackedSize(std::optional<std::size_t> bound);

// The most that packed bytes of that size may unpack to: what deflate can produce from them
// (zlib's ratio bound), within MaxUnpackedSize. A damaged stream thus costs memory in
// proportion to the size of the file, never more.
std::size_t UnpackLimit(std::size_t packedSize);

// What the objects read from unpackedSize bytes that were packed into packedSize bytes may
// take in memory (ByteStream::memoryBudget): a small multiple of the unpacked size, and no more
// than a fixed multiple of the packed size, so that a small file of hostile records cannot
// cost gigabytes once read.
std::size_t UnpackedMemoryBudget(std::size_t unpackedSize, std::size_t packedSize);

// Packed data that does not unpack. The message speaks of "the packed data"; a caller that
// knows which stream it read says the same of that stream (MessageAbout).
class UnpackError : public ReadError {
public:
    explicit UnpackError(const QString& reason);
    // "<part> повреждено (<reason>)", the part being e.g. a storage of a file.
    QString MessageAbout(const QString& part) const;

private:
    QString reason_;
};

// Replaces the whole content of the stream with its zlib compression (level 9, header 78 DA,
// read by any zlib inflate) and, for the old format versions below 3, wraps that in the
// cipher container. Content that would pack beyond what its records may cost in memory when
// read back (UnpackedMemoryBudget) is stored in the stream without compression. The position
// ends at 0.
void PackStream(ByteStream& stream, int version);
// The same for several streams at once: their pieces are packed side by side on all cores.
// Progress counts the bytes packed.
void PackStreams(const std::vector<ByteStream*>& streams, int version,
                 const Progress& progress = {});

// The reverse: for versions below 3 the content is first deciphered (bytes that are no cipher
// container are decompressed as they are), then decompressed; bytes after the end of the zlib
// stream are ignored, as a whole-buffer inflate ignores them. Raises UnpackError when the data
// is no complete zlib stream or would unpack to more than maxSize bytes; the stream is then
// left as it was. On success the position is 0 and the memory budget UnpackedMemoryBudget.
void UnpackStream(ByteStream& stream, int version, std::size_t maxSize);
// The same within UnpackLimit of the packed size.
void UnpackStream(ByteStream& stream, int version);

// Raises KvalorError, naming the stream, when packed bytes of that size holding that many
// unpacked bytes could not be unpacked on this machine (see UnpackLimit).
void RequireUnpackable(std::size_t unpackedSize, std::size_t packedSize, const QString& name);

}  // namespace kvalor
