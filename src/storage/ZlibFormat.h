#pragma once

// What the packer and the inflaters of storage share about the zlib streams they write and
// read: sizes, the header and the flush points between pieces, and zlib's failures in words.

#include <zlib.h>

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

namespace kvalor::zlibformat {

// zlib is fed and drained in chunks of this size.
inline constexpr std::size_t kChunkSize = 64 * 1024;
// Streams are cut into pieces of this size that the cores pack side by side; a piece starts
// without the window of the one before, which costs a few bytes per piece, far below 1 %.
inline constexpr std::size_t kPieceSize = std::size_t{1} << 20;
// The zlib header of a level-9 stream with a 32 KiB window: what zlib itself writes.
inline constexpr char kZlibHeader[] = {'\x78', '\xDA'};
inline constexpr std::size_t kZlibHeaderSize = sizeof kZlibHeader;
inline constexpr std::size_t kZlibTrailerSize = 4;
// The empty stored block that ends every piece but the last (a flush point).
inline constexpr std::string_view kFlushMarker("\0\0\xFF\xFF", 4);

// Releases zlib's state however the step that uses it ends.
struct ZlibStreamEnd {
    z_stream& zs;
    int (*end)(z_streamp);
    ~ZlibStreamEnd() { end(&zs); }
};

// zlib's reason for a failure, in words for the user.
QString zlibReason(const z_stream& zs, int code);
// Whether the two bytes open a zlib stream of deflate data without a preset dictionary.
bool isZlibHeader(const std::string& data);
// UnpackError: the data would unpack to more than maxSize bytes.
[[noreturn]] void throwTooLarge(std::size_t maxSize);

}  // namespace kvalor::zlibformat
