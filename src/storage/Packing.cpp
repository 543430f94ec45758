#include "storage/Packing.h"

#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <exception>
#include <future>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cipher/KVTEACrypt.h"
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

// Releases zlib's state however the packing step ends.
struct ZlibStreamEnd {
    z_stream& zs;
    int (*end)(z_streamp);
    ~ZlibStreamEnd() { end(&zs); }
};

[[noreturn]] void throwPackError(const z_stream& zs, int code) {
    throw KvalorError(QStringLiteral("Ошибка сжатия данных: ") + zlibReason(zs, code));
}

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

constexpr int kDeflateLevel = 9;
// Stored blocks only: still a zlib stream that any inflate reads.
constexpr int kStoredLevel = 0;

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;

// The first piece of a stream holds only this much: the journal's version byte and count,
// which change with every study added, so that the pieces after them stay as they were.
constexpr std::size_t kHeadPieceSize = 5;

// One piece of a stream: raw deflate data, ending on a byte boundary with its blocks open
// for the next piece unless it is the stream's last. A piece taken over from an earlier
// stream keeps the packed bytes it had there.
struct Piece {
    std::string_view input;
    bool last = false;
    bool taken = false;
    std::string output;
    std::string_view takenOutput;
    std::uint32_t adler = 1;
    std::uint32_t crc = 0;

    std::string_view packed() const { return taken ? takenOutput : std::string_view(output); }
};

Piece pieceOf(std::string_view input) {
    Piece piece;
    piece.input = input;
    return piece;
}

std::uint32_t adlerOf(std::string_view bytes) {
    return libdeflate_adler32(1, bytes.data(), bytes.size());
}

std::uint32_t crcOf(std::string_view bytes) {
    return libdeflate_crc32(0, bytes.data(), bytes.size());
}

// Clears the final-block bit of the last block of a complete raw deflate stream and ends it
// with an empty stored block, so that the next piece's blocks may follow it byte-aligned (a
// flush point, as zlib's Z_SYNC_FLUSH writes). Inflating block by block tells where each
// block starts and how many bits of the last byte the final block leaves unused.
void openEnd(std::string& deflated) {
    z_stream zs{};
    if (const int init = inflateInit2(&zs, -MAX_WBITS); init != Z_OK) {
        throwPackError(zs, init);
    }
    const ZlibStreamEnd inflateEndGuard{zs, inflateEnd};
    auto* bytes = reinterpret_cast<Bytef*>(deflated.data());
    zs.next_in = bytes;
    zs.avail_in = static_cast<uInt>(deflated.size());
    std::string sink(kChunkSize, '\0');
    // Where the header of the block being decoded starts: its first bit is the final-block bit.
    std::size_t headerByte = 0;
    unsigned headerBit = 0;
    for (;;) {
        zs.next_out = reinterpret_cast<Bytef*>(sink.data());
        zs.avail_out = static_cast<uInt>(sink.size());
        const int code = inflate(&zs, Z_BLOCK);
        // No progress is possible when the last call stopped with the end of a block already
        // read; the input still holds the blocks after it.
        if (code != Z_OK && !(code == Z_BUF_ERROR && zs.avail_in > 0)) {
            throwPackError(zs, code);
        }
        if ((zs.data_type & 128) == 0) {
            continue;  // inside a block, the sink was full
        }
        const auto unusedBits = static_cast<unsigned>(zs.data_type & 7);
        const auto consumed = static_cast<std::size_t>(zs.next_in - bytes);
        if ((zs.data_type & 64) == 0) {
            headerByte = unusedBits == 0 ? consumed : consumed - 1;
            headerBit = unusedBits == 0 ? 0 : 8 - unusedBits;
            continue;
        }
        // The final block has ended: drop its final bit, keep the bits used in the last byte
        // (the rest are zero, as is the header of a stored block), and add that block.
        deflated[headerByte] = static_cast<char>(deflated[headerByte] & ~(1u << headerBit));
        deflated.resize(consumed);
        deflated.back() = static_cast<char>(deflated.back() & ((1u << (8 - unusedBits)) - 1));
        if (unusedBits < 3) {
            deflated.push_back('\0');
        }
        deflated.append("\0\0\xFF\xFF", 4);
        return;
    }
}

void packPiece(libdeflate_compressor* compressor, Piece& piece) {
    if (piece.taken) {
        return;
    }
    if (piece.input.empty()) {
        // An empty stream: one empty final block of fixed codes, as zlib writes it, two bytes
        // shorter than the stored block libdeflate would write.
        piece.output.assign("\x03\x00", 2);
        return;
    }
    piece.output.resize(libdeflate_deflate_compress_bound(compressor, piece.input.size()));
    const std::size_t size =
        libdeflate_deflate_compress(compressor, piece.input.data(), piece.input.size(),
                                    piece.output.data(), piece.output.size());
    piece.output.resize(size);
    piece.output.shrink_to_fit();
    if (!piece.last) {
        openEnd(piece.output);
    }
    piece.adler = adlerOf(piece.input);
    piece.crc = crcOf(piece.input);
}

// Packs every piece on as many threads as there are cores, each with its own compressor. The
// calling thread tells the progress whenever it finishes a piece.
void packPieces(std::vector<Piece>& pieces, int level, const Progress& progress) {
    // Pieces taken over count as packed from the start.
    std::uint64_t total = 0;
    std::uint64_t taken = 0;
    for (const Piece& piece : pieces) {
        total += piece.input.size();
        taken += piece.taken ? piece.input.size() : 0;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<std::uint64_t> packed{taken};
    const auto work = [&pieces, &next, &packed, total, level](const Progress& progress) {
        const Compressor compressor(libdeflate_alloc_compressor(level));
        if (!compressor) {
            throw std::bad_alloc();
        }
        for (std::size_t i = next++; i < pieces.size(); i = next++) {
            packPiece(compressor.get(), pieces[i]);
            if (!pieces[i].taken) {
                ReportProgress(progress, packed += pieces[i].input.size(), total);
            }
        }
    };
    const std::size_t threads =
        std::min<std::size_t>(pieces.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::future<void>> helpers;
    for (std::size_t t = 1; t < threads; ++t) {
        helpers.push_back(std::async(std::launch::async, work, Progress()));
    }
    std::exception_ptr failure;
    try {
        work(progress);
    } catch (...) {
        failure = std::current_exception();
        next = pieces.size();
    }
    for (auto& helper : helpers) {
        try {
            helper.get();
        } catch (...) {
            failure = failure ? failure : std::current_exception();
            next = pieces.size();
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    ReportProgress(progress, total, total);
}

// Cuts [from, to) of the content into pieces to pack anew: the head of the stream alone, the
// rest in pieces of kPieceSize.
void cutFresh(std::string_view content, std::size_t from, std::size_t to,
              std::vector<Piece>& pieces) {
    while (from < to) {
        const std::size_t size = std::min(from == 0 ? kHeadPieceSize : kPieceSize, to - from);
        pieces.push_back(pieceOf(content.substr(from, size)));
        from += size;
    }
}

// Plans the pieces of one content: each piece of the earlier stream whose content is found
// unchanged at the same place is taken over, the rest is packed anew. True, planning nothing,
// when the content is all of the earlier stream's.
bool planPieces(std::string_view content, const PackedStream* earlier, std::vector<Piece>& pieces) {
    const std::size_t first = pieces.size();
    std::size_t fresh = 0;  // where the content not yet planned starts
    if (earlier != nullptr) {
        const std::vector<PackedPiece>& old = earlier->Pieces();
        std::size_t at = 0;
        std::size_t packedStart = kZlibHeaderSize;
        bool allSame = true;
        for (std::size_t i = 0; i < old.size() && at + old[i].size <= content.size(); ++i) {
            const std::string_view input = content.substr(at, old[i].size);
            const bool same = crcOf(input) == old[i].crc && adlerOf(input) == old[i].adler;
            allSame = allSame && same;
            if (i + 1 == old.size()) {
                // The final block ends the stream: its piece is taken only with all the rest.
                if (allSame && at + input.size() == content.size()) {
                    pieces.resize(first);
                    return true;
                }
                break;
            }
            if (same) {
                cutFresh(content, fresh, at, pieces);
                Piece piece = pieceOf(input);
                piece.taken = true;
                piece.takenOutput = std::string_view(earlier->Bytes())
                                        .substr(packedStart, old[i].packedEnd - packedStart);
                piece.adler = old[i].adler;
                piece.crc = old[i].crc;
                pieces.push_back(piece);
                fresh = at + input.size();
            }
            at += old[i].size;
            packedStart = old[i].packedEnd;
        }
    }
    cutFresh(content, fresh, content.size(), pieces);
    if (pieces.size() == first) {
        pieces.push_back(pieceOf(content));  // an empty stream
    }
    // The stream's last piece must end with a final block.
    pieces.back().taken = false;
    pieces.back().last = true;
    return false;
}

// The zlib streams of all the data at once, each exactly what a zlib inflate reads: header
// 78 DA, the pieces' deflate blocks one after the other, the Adler-32 of the whole.
std::vector<std::shared_ptr<const PackedStream>> compressAll(
    const std::vector<const std::string*>& data,
    const std::vector<std::shared_ptr<const PackedStream>>& earlier, int level,
    const Progress& progress) {
    std::vector<std::shared_ptr<const PackedStream>> packed(data.size());
    std::vector<Piece> pieces;
    std::vector<std::size_t> firstPiece;
    for (std::size_t d = 0; d < data.size(); ++d) {
        firstPiece.push_back(pieces.size());
        const PackedStream* before = d < earlier.size() ? earlier[d].get() : nullptr;
        if (planPieces(*data[d], before, pieces)) {
            packed[d] = earlier[d];
        }
    }
    packPieces(pieces, level, progress);

    firstPiece.push_back(pieces.size());
    for (std::size_t d = 0; d < data.size(); ++d) {
        if (packed[d]) {
            continue;
        }
        std::size_t size = kZlibHeaderSize + kZlibTrailerSize;
        for (std::size_t i = firstPiece[d]; i < firstPiece[d + 1]; ++i) {
            size += pieces[i].packed().size();
        }
        std::string out;
        out.reserve(size);
        out.append(kZlibHeader, kZlibHeaderSize);
        std::vector<PackedPiece> described;
        uLong adler = 1;
        for (std::size_t i = firstPiece[d]; i < firstPiece[d + 1]; ++i) {
            out += pieces[i].packed();
            described.push_back(
                {pieces[i].input.size(), out.size(), pieces[i].adler, pieces[i].crc});
            adler = adler32_combine(adler, pieces[i].adler,
                                    static_cast<z_off_t>(pieces[i].input.size()));
            std::string().swap(pieces[i].output);
        }
        for (int shift = 24; shift >= 0; shift -= 8) {
            out.push_back(static_cast<char>((adler >> shift) & 0xFF));
        }
        packed[d] = std::make_shared<const PackedStream>(std::move(out), std::move(described));
    }
    return packed;
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
    : bytes_(std::move(bytes)), pieces_(std::move(pieces)) {
    for (const PackedPiece& piece : pieces_) {
        unpackedSize_ += piece.size;
    }
}

std::vector<std::shared_ptr<const PackedStream>> PackContents(
    const std::vector<const std::string*>& contents,
    const std::vector<std::shared_ptr<const PackedStream>>& earlier, const Progress& progress) {
    std::vector<std::shared_ptr<const PackedStream>> packed =
        compressAll(contents, earlier, kDeflateLevel, progress);
    // Data that packs so well that its records could take more memory than its packed bytes
    // allow a reader is stored unpacked instead: whatever is written can be read back.
    for (std::size_t i = 0; i < contents.size(); ++i) {
        const std::size_t size = contents[i]->size();
        if (kMaxMemoryPerStoredByte * size >
            UnpackedMemoryBudget(size, packed[i]->Bytes().size())) {
            packed[i] = compressAll({contents[i]}, {}, kStoredLevel, {}).front();
        }
    }
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
