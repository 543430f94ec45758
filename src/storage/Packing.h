#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

// Replaces the whole content of the stream with its zlib compression (about as small as zlib's
// level 9, header 78 DA, read by any zlib inflate) and, for the old format versions below 3,
// wraps that in the cipher container. Content that would pack beyond what its records may cost in
// memory when read back (UnpackedMemoryBudget) is stored in the stream without compression. The
// position ends at 0.
void PackStream(ByteStream& stream, int version);
// The same for several streams at once: their pieces are packed side by side on all cores.
// Progress counts the bytes packed.
void PackStreams(const std::vector<ByteStream*>& streams, int version,
                 const Progress& progress = {});

// One piece of a packed stream: the content it unpacks to, told by its size and checksums, and
// where its deflate data end in the zlib stream.
struct PackedPiece {
    std::size_t size = 0;
    std::size_t packedEnd = 0;
    std::uint32_t adler = 1;
    std::uint32_t crc = 0;
};

// Where the pieces of a packed stream lie, without its bytes: enough to take them over once
// the bytes are read back from a file and found to be those described.
struct PackedLayout {
    std::vector<PackedPiece> pieces;
    std::size_t size = 0;   // of the whole zlib stream
    std::uint32_t crc = 0;  // of its bytes
};

// Bytes of a packed stream, shared between the streams that hold them: a save that takes over
// a piece of the stream read keeps pointing at the bytes read.
struct PackedPart {
    std::shared_ptr<const std::string> bytes;
    std::size_t offset = 0;
    std::size_t size = 0;

    std::string_view View() const { return std::string_view(*bytes).substr(offset, size); }
};

// A zlib stream of the current format cut into pieces, each of which unpacks without the
// window of those before it (all but the last end on a flush point). A later pack of the same
// storage takes over the pieces whose content comes again at the same place instead of packing
// them again: a journal that only grew is packed again only from its old end. Its bytes are
// the parts laid end to end; each piece's deflate data lie within one part.
class PackedStream {
public:
    // The whole stream in one string.
    PackedStream(std::string bytes, std::vector<PackedPiece> pieces);
    PackedStream(std::vector<PackedPart> parts, std::vector<PackedPiece> pieces);
    // A copy of the whole stream.
    std::string Bytes() const;
    const std::vector<PackedPart>& Parts() const { return parts_; }
    std::size_t Size() const { return size_; }
    const std::vector<PackedPiece>& Pieces() const { return pieces_; }
    std::size_t UnpackedSize() const { return unpackedSize_; }
    // The deflate data of the piece.
    PackedPart PieceBytes(std::size_t index) const;
    PackedLayout Layout() const;

private:
    std::vector<PackedPart> parts_;
    std::vector<PackedPiece> pieces_;
    std::vector<std::size_t> partEnds_;
    std::size_t size_ = 0;
    std::size_t unpackedSize_ = 0;
};

// Packs each content as PackStreams does for the current version. earlier[i], when given, is
// what the same storage held before: its pieces found unchanged at the same place are taken
// over as they are, and a content equal to all of it gives it back. Progress counts the bytes
// packed anew.
std::vector<std::shared_ptr<const PackedStream>> PackContents(
    const std::vector<const std::string*>& contents,
    const std::vector<std::shared_ptr<const PackedStream>>& earlier, const Progress& progress = {});

// Unpacks a zlib stream of the current format as UnpackStream does, piece by piece from an
// empty window at each flush point, keeping the packed bytes and their pieces for a later
// PackContents. Returns null and leaves the stream as it was when the stream is not made that
// way (a reference across a flush point) or does not unpack: UnpackStream then tells why.
std::shared_ptr<const PackedStream> UnpackInPieces(ByteStream& stream, std::size_t maxSize);

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
