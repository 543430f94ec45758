#include "storage/Packing.h"

#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/KVTEACrypt.h"
#include "storage/PiecePacker.h"
#include "storage/ZlibFormat.h"
#include "util/Error.h"

namespace kvalor {

namespace zlibformat {

QString zlibReason(const z_stream& zs, int code) {
    if (code == Z_DATA_ERROR) {
        const std::string_view message = zs.msg ? zs.msg : "";
        if (message == "incorrect data check") {
            return QStringLiteral("контрольная сумма не сходится");
        }
        if (message == "incorrect header check" || message == "unknown compression method" ||
            message == "invalid window size") {
            return QStringLiteral("неверный заголовок сжатых данных");
        }
        return QStringLiteral("сжатые данные искажены");
    }
    if (code == Z_MEM_ERROR) {
        return QStringLiteral("недостаточно памяти");
    }
    if (code == Z_BUF_ERROR) {
        return QStringLiteral("сжатые данные неполны");
    }
    return QStringLiteral("сбой библиотеки сжатия, код %1").arg(code);
}

bool isZlibHeader(const std::string& data) {
    const auto cmf = static_cast<unsigned char>(data[0]);
    const auto flg = static_cast<unsigned char>(data[1]);
    return (cmf & 0x0F) == Z_DEFLATED && (cmf >> 4) <= 7 && (flg & 0x20) == 0 &&
           (cmf * 256 + flg) % 31 == 0;
}

[[noreturn]] void throwTooLarge(std::size_t maxSize) {
    throw UnpackError(
        QStringLiteral("после распаковки больше %1 байт").arg(static_cast<qulonglong>(maxSize)));
}

}  // namespace zlibformat

using namespace zlibformat;

namespace {

constexpr int kFirstPlainVersion = 3;

// Runs inflate over the whole input, one output chunk at a time, until the zlib stream ends.
// step(outSize) makes one call of zlib, knowing how much output there is so far, checks the
// code and returns it. zlib
// counts input in 32-bit units, so a larger buffer goes in piece by piece. The output starts
// with room for expectedSize bytes.
template <class Step>
std::string runZlib(z_stream& zs, const std::string& data, std::size_t expectedSize, Step step) {
    const char* next = data.data();
    std::size_t left = data.size();
    std::string out;
    out.reserve(expectedSize);
    std::string chunk(kChunkSize, '\0');
    int code = Z_OK;
    do {
        if (zs.avail_in == 0 && left > 0) {
            const std::size_t piece = std::min<std::size_t>(left, UINT_MAX);
            zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(next));
            zs.avail_in = static_cast<uInt>(piece);
            next += piece;
            left -= piece;
        }
        zs.next_out = reinterpret_cast<Bytef*>(chunk.data());
        zs.avail_out = static_cast<uInt>(chunk.size());
        code = step(out.size());
        out.append(chunk.data(), chunk.size() - zs.avail_out);
    } while (code != Z_STREAM_END);
    return out;
}

PackedPart wholePart(std::string bytes) {
    auto whole = std::make_shared<const std::string>(std::move(bytes));
    return {whole, 0, whole->size()};
}

std::uint32_t adlerOf(std::string_view bytes) {
    return libdeflate_adler32(1, bytes.data(), bytes.size());
}

std::uint32_t crcOf(std::string_view bytes) {
    return libdeflate_crc32(0, bytes.data(), bytes.size());
}

// Inflates chunk by chunk, so that the output never grows beyond maxSize whatever the data
// claims, and insists on one complete zlib stream; what follows its end is not looked at.
std::string decompressBytes(const std::string& data, std::size_t maxSize) {
    z_stream zs{};
    const int init = inflateInit(&zs);
    if (init != Z_OK) {
        throw UnpackError(zlibReason(zs, init));
    }
    const ZlibStreamEnd inflateEndGuard{zs, inflateEnd};
    // Records unpack to about three times their packed size: room for four saves copying the
    // output over and over as it grows, and costs no memory until written.
    const std::size_t expectedSize = std::min(maxSize, data.size() * 4);
    return runZlib(zs, data, expectedSize, [&zs, maxSize](std::size_t outSize) {
        const int code = inflate(&zs, Z_NO_FLUSH);
        if (code == Z_BUF_ERROR) {
            // No progress with room to write: the input ended inside the stream.
            throw UnpackError(zlibReason(zs, code));
        }
        if (code != Z_OK && code != Z_STREAM_END) {
            throw UnpackError(zlibReason(zs, code));
        }
        const std::size_t produced = kChunkSize - zs.avail_out;
        if (produced > maxSize - outSize) {
            throwTooLarge(maxSize);
        }
        return code;
    });
}

// Inflates the raw deflate data after the zlib header, from an empty window again after each
// flush point, into `out`; returns the pieces (without checksums) and where the deflate data
// end, or nullopt when the data do not inflate so within maxSize.
std::optional<std::vector<PackedPiece>> inflatePieces(const std::string& data, std::size_t maxSize,
                                                      std::string& out) {
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
        return std::nullopt;
    }
    const ZlibStreamEnd inflateEndGuard{zs, inflateEnd};
    const auto* start = reinterpret_cast<const Bytef*>(data.data()) + kZlibHeaderSize;
    zs.next_in = const_cast<Bytef*>(start);
    zs.avail_in = static_cast<uInt>(data.size() - kZlibHeaderSize);
    std::string chunk(kChunkSize, '\0');
    std::vector<PackedPiece> pieces;
    std::size_t pieceStart = 0;
    // How much had unpacked when the last block ended: an empty block unpacks to nothing.
    std::size_t atBlockEnd = 0;
    for (;;) {
        zs.next_out = reinterpret_cast<Bytef*>(chunk.data());
        zs.avail_out = static_cast<uInt>(chunk.size());
        const int code = inflate(&zs, Z_BLOCK);
        const std::size_t produced = chunk.size() - zs.avail_out;
        if ((code != Z_OK && code != Z_STREAM_END) || produced > maxSize - out.size()) {
            return std::nullopt;
        }
        out.append(chunk.data(), produced);
        const auto consumed = static_cast<std::size_t>(zs.next_in - start);
        if (code == Z_STREAM_END) {
            pieces.push_back({out.size() - pieceStart, kZlibHeaderSize + consumed, 1, 0});
            return pieces;
        }
        // 128: a block has just ended; 64: the final one; below: bits not yet used.
        if ((zs.data_type & 128) == 0) {
            continue;
        }
        const bool flushPoint =
            (zs.data_type & 127) == 0 && out.size() == atBlockEnd &&
            consumed >= kFlushMarker.size() &&
            std::string_view(reinterpret_cast<const char*>(zs.next_in) - kFlushMarker.size(),
                             kFlushMarker.size()) == kFlushMarker;
        atBlockEnd = out.size();
        if (flushPoint) {
            pieces.push_back({out.size() - pieceStart, kZlibHeaderSize + consumed, 1, 0});
            pieceStart = out.size();
            // A piece that reaches back before its flush point fails, and is no piece.
            if (inflateReset(&zs) != Z_OK) {
                return std::nullopt;
            }
        }
    }
}

// zlib's documented limit: deflate never expands data more than 1032 times.
constexpr std::size_t kMaxDeflateRatio = 1032;

// The objects read from a packed stream may take this much memory for each packed byte, and
// this much whatever the packed size: records pack to a third or a fifth of their size and
// take about five times that in memory, so the bound is far above what real data needs.
constexpr std::size_t kMemoryPerPackedByte = 256;
constexpr std::size_t kMinPackedMemoryBudget = std::size_t{16} << 20;

std::optional<std::size_t>& maxUnpackedOverride() {
    static std::optional<std::size_t> bound;
    return bound;
}

std::size_t machineMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) {
        // Unknown: what a machine that runs the program surely has.
        return std::size_t{2} << 30;
    }
    return static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize);
}

}  // namespace

std::size_t MaxUnpackedSize() {
    if (const auto& bound = maxUnpackedOverride()) {
        return *bound;
    }
    static const std::size_t bound = machineMemory() / 2;
    return bound;
}

void SetMaxUnpackedSize(std::optional<std::size_t> bound) {
    maxUnpackedOverride() = bound;
}

std::size_t UnpackedMemoryBudget(std::size_t unpackedSize, std::size_t packedSize) {
    return std::min(kMaxMemoryPerStoredByte * unpackedSize,
                    std::max(kMinPackedMemoryBudget, kMemoryPerPackedByte * packedSize));
}

UnpackError::UnpackError(const QString& reason)
    : ReadError(QStringLiteral("Сжатые данные повреждены (%1)").arg(reason)), reason_(reason) {}

QString UnpackError::MessageAbout(const QString& part) const {
    return QStringLiteral("%1 повреждено (%2)").arg(part, reason_);
}

std::size_t UnpackLimit(std::size_t packedSize) {
    const std::size_t bound = MaxUnpackedSize();
    return packedSize > bound / kMaxDeflateRatio ? bound : packedSize * kMaxDeflateRatio;
}

void RequireUnpackable(std::size_t unpackedSize, std::size_t packedSize, const QString& name) {
    const std::size_t limit = UnpackLimit(packedSize);
    if (unpackedSize > limit) {
        throw KvalorError(
            QStringLiteral("Ошибка записи %1: %2 байт данных больше, чем можно прочитать на этом "
                           "компьютере (%3 байт)")
                .arg(name)
                .arg(static_cast<qulonglong>(unpackedSize))
                .arg(static_cast<qulonglong>(limit)));
    }
}

PackedStream::PackedStream(std::string bytes, std::vector<PackedPiece> pieces)
    : PackedStream({wholePart(std::move(bytes))}, std::move(pieces)) {}

PackedStream::PackedStream(std::vector<PackedPart> parts, std::vector<PackedPiece> pieces)
    : parts_(std::move(parts)), pieces_(std::move(pieces)) {
    for (const PackedPart& part : parts_) {
        size_ += part.size;
        partEnds_.push_back(size_);
    }
    for (const PackedPiece& piece : pieces_) {
        unpackedSize_ += piece.size;
    }
}

std::string PackedStream::Bytes() const {
    std::string bytes;
    bytes.reserve(size_);
    for (const PackedPart& part : parts_) {
        bytes += part.View();
    }
    return bytes;
}

PackedPart PackedStream::PieceBytes(std::size_t index) const {
    const std::size_t start = index == 0 ? kZlibHeaderSize : pieces_[index - 1].packedEnd;
    const std::size_t end = pieces_[index].packedEnd;
    const auto part = std::upper_bound(partEnds_.begin(), partEnds_.end(), start);
    if (part == partEnds_.end() || end > *part) {
        throw std::logic_error("packed piece across parts");
    }
    const PackedPart& holder = parts_[static_cast<std::size_t>(part - partEnds_.begin())];
    const std::size_t partStart = *part - holder.size;
    return {holder.bytes, holder.offset + start - partStart, end - start};
}

PackedLayout PackedStream::Layout() const {
    PackedLayout layout{pieces_, size_, 0};
    for (const PackedPart& part : parts_) {
        layout.crc = libdeflate_crc32(layout.crc, part.View().data(), part.size);
    }
    return layout;
}

std::vector<std::shared_ptr<const PackedStream>> PackContents(
    const std::vector<const std::string*>& contents,
    const std::vector<std::shared_ptr<const PackedStream>>& earlier, const Progress& progress) {
    std::uint64_t total = 0;
    for (const std::string* content : contents) {
        total += content->size();
    }
    std::vector<std::shared_ptr<const PackedStream>> packed;
    std::uint64_t before = 0;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        const Progress part = [&](std::uint64_t done, std::uint64_t) {
            ReportProgress(progress, before + done, total);
        };
        packed.push_back(PackSourced(HeldSource(*contents[i]),
                                     i < earlier.size() ? earlier[i] : nullptr, {},
                                     progress ? part : Progress()));
        before += contents[i]->size();
    }
    ReportProgress(progress, total, total);
    return packed;
}

void PackStreams(const std::vector<ByteStream*>& streams, int version, const Progress& progress) {
    std::vector<const std::string*> data;
    for (const ByteStream* stream : streams) {
        data.push_back(&stream->data());
    }
    const std::vector<std::shared_ptr<const PackedStream>> packed =
        PackContents(data, {}, progress);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        std::string bytes = packed[i]->Bytes();
        if (version < kFirstPlainVersion) {
            TKVTEAEncrypt().encipher(bytes);
        }
        *streams[i] = ByteStream(std::move(bytes));
    }
}

void PackStream(ByteStream& stream, int version) {
    PackStreams({&stream}, version);
}

void UnpackStream(ByteStream& stream, int version, std::size_t maxSize) {
    const std::size_t packedSize = stream.size();
    ByteStream unpacked;
    if (version < kFirstPlainVersion) {
        THash packed = stream.data();
        TKVTEADecrypt().decipher(packed);
        unpacked = ByteStream(decompressBytes(packed, maxSize));
    } else {
        // Straight from the stream's bytes: a copy of them would cost the packed size again.
        unpacked = ByteStream(decompressBytes(stream.data(), maxSize));
    }
    unpacked.setMemoryBudget(UnpackedMemoryBudget(unpacked.size(), packedSize));
    stream = std::move(unpacked);
}

std::shared_ptr<const PackedStream> UnpackInPieces(ByteStream& stream, std::size_t maxSize) {
    const std::string& data = stream.data();
    if (data.size() < kZlibHeaderSize + kZlibTrailerSize || data.size() > UINT_MAX ||
        !isZlibHeader(data)) {
        return nullptr;
    }
    std::string out;
    out.reserve(std::min(maxSize, data.size() * 4));
    std::optional<std::vector<PackedPiece>> pieces = inflatePieces(data, maxSize, out);
    if (!pieces || pieces->back().packedEnd + kZlibTrailerSize > data.size()) {
        return nullptr;
    }
    uLong adler = 1;
    std::size_t at = 0;
    for (PackedPiece& piece : *pieces) {
        const std::string_view content = std::string_view(out).substr(at, piece.size);
        piece.adler = adlerOf(content);
        piece.crc = crcOf(content);
        adler = adler32_combine(adler, piece.adler, static_cast<z_off_t>(piece.size));
        at += piece.size;
    }
    const std::size_t end = pieces->back().packedEnd;
    uLong stored = 0;
    for (std::size_t i = 0; i < kZlibTrailerSize; ++i) {
        stored = (stored << 8) | static_cast<unsigned char>(data[end + i]);
    }
    if (stored != adler) {
        return nullptr;
    }
    const std::size_t packedSize = data.size();
    std::string bytes = stream.takeData();
    // What follows the zlib stream is not part of it, as for UnpackStream.
    bytes.resize(end + kZlibTrailerSize);
    stream = ByteStream(std::move(out));
    stream.setMemoryBudget(UnpackedMemoryBudget(stream.size(), packedSize));
    return std::make_shared<const PackedStream>(std::move(bytes), std::move(*pieces));
}

void UnpackStream(ByteStream& stream, int version) {
    UnpackStream(stream, version, UnpackLimit(stream.size()));
}

}  // namespace kvalor
