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
    std::string packed;
    // Where the packed bytes come from when they come a part at a time.
    MorePacked more;
    std::size_t maxSize = 0;
    z_stream zs{};
    bool open = false;
    bool inPieces = false;
    bool ended = false;
    // Unpacked by the current pass, and handed out by any pass.
    std::size_t produced = 0;
    std::size_t delivered = 0;
    // Packed bytes not yet given to zlib, which counts input in 32-bit units.
    std::size_t inputLeft = 0;
    std::vector<PackedPiece> pieces;
    std::size_t pieceStart = 0;
    std::size_t atBlockEnd = 0;
    PackedPiece piece;
    uLong adler = 1;
    std::string chunk = std::string(kChunkSize, '\0');

    void close() {
        if (open) {
            inflateEnd(&zs);
            open = false;
        }
    }
    ~State() { close(); }
};

StreamInflater::StreamInflater(std::string packed, std::size_t maxSize)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.packed = std::move(packed);
    s.maxSize = maxSize;
    if (s.packed.size() < kZlibHeaderSize + kZlibTrailerSize || s.packed.size() > UINT_MAX ||
        !isZlibHeader(s.packed) || inflateInit2(&s.zs, -MAX_WBITS) != Z_OK) {
        StartWhole();
        return;
    }
    s.open = true;
    s.inPieces = true;
    s.zs.next_in = reinterpret_cast<Bytef*>(s.packed.data()) + kZlibHeaderSize;
    s.zs.avail_in = static_cast<uInt>(s.packed.size() - kZlibHeaderSize);
}

StreamInflater::StreamInflater(MorePacked more, std::size_t maxSize)
    : state_(std::make_unique<State>()) {
    state_->more = std::move(more);
    state_->maxSize = maxSize;
    StartWhole();
}

StreamInflater::~StreamInflater() = default;

void StreamInflater::StartWhole() {
    State& s = *state_;
    s.close();
    s.inPieces = false;
    s.ended = false;
    s.produced = 0;
    s.zs = z_stream{};
    if (const int init = inflateInit(&s.zs); init != Z_OK) {
        throw UnpackError(zlibReason(s.zs, init));
    }
    s.open = true;
    s.zs.next_in = reinterpret_cast<Bytef*>(s.packed.data());
    s.zs.avail_in = 0;
    s.inputLeft = s.packed.size();
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
    const auto* start = reinterpret_cast<const Bytef*>(s.packed.data()) + kZlibHeaderSize;
    while (!s.ended && out.size() < until) {
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
        const auto consumed = static_cast<std::size_t>(s.zs.next_in - start);
        const bool streamEnd = code == Z_STREAM_END;
        // 128: a block has just ended; 64: the final one; below: bits not yet used.
        const bool flushPoint =
            !streamEnd && (s.zs.data_type & 128) != 0 && (s.zs.data_type & 127) == 0 &&
            s.produced == s.atBlockEnd && consumed >= kFlushMarker.size() &&
            std::string_view(reinterpret_cast<const char*>(s.zs.next_in) - kFlushMarker.size(),
                             kFlushMarker.size()) == kFlushMarker;
        if ((s.zs.data_type & 128) != 0) {
            s.atBlockEnd = s.produced;
        }
        if (!streamEnd && !flushPoint) {
            continue;
        }
        s.piece.size = s.produced - s.pieceStart;
        s.piece.packedEnd = kZlibHeaderSize + consumed;
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
        const std::size_t end = s.pieces.back().packedEnd;
        uLong stored = 0;
        for (std::size_t i = 0; end + i < s.packed.size() && i < kZlibTrailerSize; ++i) {
            stored = (stored << 8) | static_cast<unsigned char>(s.packed[end + i]);
        }
        if (end + kZlibTrailerSize > s.packed.size() || stored != s.adler) {
            StartWhole();  // which tells what is wrong
            return;
        }
        s.ended = true;
        s.close();
    }
}

void StreamInflater::MoreWhole(std::string& out, std::size_t until) {
    State& s = *state_;
    while (!s.ended && out.size() < until) {
        if (s.zs.avail_in == 0 && s.inputLeft > 0) {
            const std::size_t slice = std::min<std::size_t>(s.inputLeft, UINT_MAX);
            s.zs.avail_in = static_cast<uInt>(slice);
            s.inputLeft -= slice;
        } else if (s.zs.avail_in == 0 && s.more && s.more(s.packed)) {
            s.zs.next_in = reinterpret_cast<Bytef*>(s.packed.data());
            s.zs.avail_in = static_cast<uInt>(std::min<std::size_t>(s.packed.size(), UINT_MAX));
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

std::shared_ptr<const PackedStream> StreamInflater::TakePieces() {
    State& s = *state_;
    if (!s.ended || !s.inPieces) {
        return nullptr;
    }
    // What follows the zlib stream is not part of it, as for UnpackStream.
    s.packed.resize(s.pieces.back().packedEnd + kZlibTrailerSize);
    return std::make_shared<const PackedStream>(std::move(s.packed), std::move(s.pieces));
}

}  // namespace kvalor
