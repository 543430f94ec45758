#include "storage/StreamInflater.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <string_view>
#include <vector>

#include "storage/ZlibFormat.h"

namespace kvalor {

using namespace zlibformat;

struct StreamInflater::State {
    OpenPacked open;
    MorePacked more;
    std::size_t maxSize = 0;
    z_stream zs{};
    bool zlibOpen = false;
    bool inPieces = false;
    bool ended = false;
    // The packed bytes from windowStart on that zlib may still read, and the few before them
    // that tell a flush point.
    std::string window;
    std::size_t windowStart = 0;
    std::string arrived;
    // The checksum of the packed bytes let go of so far.
    std::uint32_t packedCrc = 0;
    // Unpacked by the current pass, and handed out by any pass.
    std::size_t produced = 0;
    std::size_t delivered = 0;
    std::vector<PackedPiece> pieces;
    std::size_t pieceStart = 0;
    std::size_t atBlockEnd = 0;
    PackedPiece piece;
    uLong adler = 1;
    std::optional<PackedLayout> layout;
    std::string chunk = std::string(kChunkSize, '\0');

    void close() {
        if (zlibOpen) {
            inflateEnd(&zs);
            zlibOpen = false;
        }
    }
    // Where zlib reads, as a place in the packed stream.
    std::size_t readAt() const {
        return windowStart +
               static_cast<std::size_t>(reinterpret_cast<const char*>(zs.next_in) - window.data());
    }
    ~State() { close(); }
};

StreamInflater::StreamInflater(OpenPacked open, std::size_t maxSize)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.open = std::move(open);
    s.more = s.open();
    s.maxSize = maxSize;
    // The header is checked once its bytes are there.
    if (inflateInit2(&s.zs, -MAX_WBITS) != Z_OK) {
        StartWhole();
        return;
    }
    s.zlibOpen = true;
    s.inPieces = true;
    s.zs.next_in = reinterpret_cast<Bytef*>(s.window.data());
    s.zs.avail_in = 0;
}

StreamInflater::StreamInflater(MorePacked more, std::size_t maxSize)
    : state_(std::make_unique<State>()) {
    state_->more = std::move(more);
    state_->maxSize = maxSize;
    StartWhole();
}

StreamInflater::~StreamInflater() = default;

// Lets go of what zlib has read but the bytes that may end a flush point, and appends the next
// packed bytes; false when there are none.
bool StreamInflater::Fill() {
    State& s = *state_;
    if (!s.more || !s.more(s.arrived) || s.arrived.empty()) {
        return false;
    }
    const std::size_t read = s.readAt() - s.windowStart;
    const std::size_t drop = read - std::min(read, kFlushMarker.size());
    s.packedCrc = libdeflate_crc32(s.packedCrc, s.window.data(), drop);
    const std::size_t unread = s.zs.avail_in;
    s.window.erase(0, drop);
    s.windowStart += drop;
    s.window.append(s.arrived);
    s.zs.next_in = reinterpret_cast<Bytef*>(s.window.data()) + (read - drop);
    s.zs.avail_in = static_cast<uInt>(unread + s.arrived.size());
    return true;
}

void StreamInflater::StartWhole() {
    State& s = *state_;
    s.close();
    s.inPieces = false;
    s.ended = false;
    s.produced = 0;
    s.zs = z_stream{};
    if (s.open) {
        s.more = s.open();
    }
    s.window.clear();
    s.windowStart = 0;
    if (const int init = inflateInit(&s.zs); init != Z_OK) {
        throw UnpackError(zlibReason(s.zs, init));
    }
    s.zlibOpen = true;
    s.zs.next_in = reinterpret_cast<Bytef*>(s.window.data());
    s.zs.avail_in = 0;
}

bool StreamInflater::More(std::string& out) {
    const std::size_t before = out.size();
    const std::size_t until = before + kPieceSize;
    if (state_->inPieces) {
        MorePieces(out, until);
    }
    if (!state_->inPieces) {
        MoreWhole(out, until);
    }
    return out.size() > before;
}

// Stops at the first thing that is not as PackContents writes it, and leaves the rest to a
// pass over the whole stream.
void StreamInflater::MorePieces(std::string& out, std::size_t until) {
    State& s = *state_;
    while (s.windowStart + s.window.size() < kZlibHeaderSize) {
        if (!Fill()) {
            StartWhole();
            return;
        }
    }
    if (s.windowStart == 0 && s.readAt() == 0) {
        if (!isZlibHeader(s.window)) {
            StartWhole();
            return;
        }
        s.zs.next_in += kZlibHeaderSize;
        s.zs.avail_in -= kZlibHeaderSize;
    }
    while (!s.ended && out.size() < until) {
        if (s.zs.avail_in == 0 && !Fill()) {
            StartWhole();  // the stream ends too soon, which the whole pass tells
            return;
        }
        s.zs.next_out = reinterpret_cast<Bytef*>(s.chunk.data());
        s.zs.avail_out = static_cast<uInt>(s.chunk.size());
        const int code = inflate(&s.zs, Z_BLOCK);
        const std::size_t produced = s.chunk.size() - s.zs.avail_out;
        if ((code != Z_OK && code != Z_STREAM_END) || produced > s.maxSize - s.produced) {
            StartWhole();
            return;
        }
        const std::string_view bytes(s.chunk.data(), produced);
        s.piece.adler = libdeflate_adler32(s.piece.adler, bytes.data(), bytes.size());
        s.piece.crc = libdeflate_crc32(s.piece.crc, bytes.data(), bytes.size());
        out.append(bytes);
        s.produced += produced;
        s.delivered = s.produced;
        const std::size_t at = s.readAt();
        const bool streamEnd = code == Z_STREAM_END;
        // 128: a block has just ended; 64: the final one; below: bits not yet used.
        const bool flushPoint =
            !streamEnd && (s.zs.data_type & 128) != 0 && (s.zs.data_type & 127) == 0 &&
            s.produced == s.atBlockEnd && at >= kZlibHeaderSize + kFlushMarker.size() &&
            std::string_view(reinterpret_cast<const char*>(s.zs.next_in) - kFlushMarker.size(),
                             kFlushMarker.size()) == kFlushMarker;
        if ((s.zs.data_type & 128) != 0) {
            s.atBlockEnd = s.produced;
        }
        if (!streamEnd && !flushPoint) {
            continue;
        }
        s.piece.size = s.produced - s.pieceStart;
        s.piece.packedEnd = at;
        s.adler = adler32_combine(s.adler, s.piece.adler, static_cast<z_off_t>(s.piece.size));
        s.pieces.push_back(s.piece);
        s.piece = PackedPiece{};
        s.pieceStart = s.produced;
        if (flushPoint) {
            // A piece that reaches back before its flush point fails, and is no piece.
            if (inflateReset(&s.zs) != Z_OK) {
                StartWhole();
                return;
            }
            continue;
        }
        const std::size_t end = at + kZlibTrailerSize;
        while (s.windowStart + s.window.size() < end && Fill()) {
        }
        uLong stored = 0;
        for (std::size_t i = at; i < end && i < s.windowStart + s.window.size(); ++i) {
            stored = (stored << 8) | static_cast<unsigned char>(s.window[i - s.windowStart]);
        }
        if (s.windowStart + s.window.size() < end || stored != s.adler) {
            StartWhole();  // which tells what is wrong
            return;
        }
        // What follows the zlib stream is not part of it, as for UnpackStream.
        s.layout =
            PackedLayout{std::move(s.pieces), end,
                         libdeflate_crc32(s.packedCrc, s.window.data(), end - s.windowStart)};
        s.ended = true;
        s.close();
    }
}

void StreamInflater::MoreWhole(std::string& out, std::size_t until) {
    State& s = *state_;
    while (!s.ended && out.size() < until) {
        if (s.zs.avail_in == 0) {
            Fill();
        }
        s.zs.next_out = reinterpret_cast<Bytef*>(s.chunk.data());
        s.zs.avail_out = static_cast<uInt>(s.chunk.size());
        const int code = inflate(&s.zs, Z_NO_FLUSH);
        // Z_BUF_ERROR: no progress with room to write, the input ended inside the stream.
        if (code != Z_OK && code != Z_STREAM_END) {
            throw UnpackError(zlibReason(s.zs, code));
        }
        const std::size_t produced = s.chunk.size() - s.zs.avail_out;
        if (produced > s.maxSize - s.produced) {
            throwTooLarge(s.maxSize);
        }
        // What an earlier pass handed out is passed over.
        const std::size_t seen =
            std::min(produced, s.delivered - std::min(s.delivered, s.produced));
        out.append(s.chunk.data() + seen, produced - seen);
        s.produced += produced;
        s.delivered = std::max(s.delivered, s.produced);
        if (code == Z_STREAM_END) {
            s.ended = true;
            s.close();
        }
    }
}

std::optional<PackedLayout> StreamInflater::TakeLayout() {
    return std::move(state_->layout);
}

}  // namespace kvalor
