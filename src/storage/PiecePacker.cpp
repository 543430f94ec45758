#include "storage/PiecePacker.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <future>
#include <new>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "storage/ZlibFormat.h"
#include "util/ByteStream.h"
#include "util/Error.h"

namespace kvalor {

using namespace zlibformat;

namespace {

// Pieces are packed at two levels of libdeflate in turn: every other one thoroughly (its
// near-optimal parsing), the others quickly. On the program's data that comes out about as
// small as zlib's level 9 in two thirds of the time that libdeflate's level 9 takes for every
// piece, which packs both larger and slower.
constexpr int kThoroughLevel = 10;
constexpr int kQuickLevel = 7;
// Stored blocks only: still a zlib stream that any inflate reads.
constexpr int kStoredLevel = 0;
// Asks packAt for the two levels in turn.
constexpr int kMixedLevels = -1;

// The first piece of a stream holds only this much: the journal's version byte and count,
// which change with every study added, so that the pieces after them stay as they were.
constexpr std::size_t kHeadPieceSize = 5;

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;

[[noreturn]] void throwPackError(const z_stream& zs, int code) {
    throw KvalorError(QStringLiteral("Ошибка сжатия данных: ") + zlibReason(zs, code));
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
        deflated.append(kFlushMarker);
        return;
    }
}

// What one thread needs to make pieces and pack them.
struct Worker {
    int level;
    std::string scratch;
    // Room for the deflate data of one piece: kept for the next, since a buffer of that size
    // made and let go for every piece beside the exact copies kept would scatter the heap.
    std::string deflated;
    Compressor thorough;
    Compressor quick;

    // The compressor for the piece of content that starts there.
    libdeflate_compressor* CompressorAt(std::size_t from) {
        const bool isThorough = level == kMixedLevels && (from / kPieceSize) % 2 == 0;
        Compressor& compressor = isThorough ? thorough : quick;
        if (!compressor) {
            const int pieceLevel = level != kMixedLevels ? level
                                   : isThorough          ? kThoroughLevel
                                                         : kQuickLevel;
            compressor.reset(libdeflate_alloc_compressor(pieceLevel));
            if (!compressor) {
                throw std::bad_alloc();
            }
        }
        return compressor.get();
    }
};

// Runs work(i, worker) for every i below count on as many threads as there are cores, the
// calling thread among them, which runs between() after each of its items. The first failure
// stops the rest and is raised.
template <class Work, class Between>
void onAllCores(std::size_t count, int level, const Work& work, const Between& between) {
    std::atomic<std::size_t> next{0};
    const auto run = [&](bool caller) {
        Worker worker{level, {}, {}, {}, {}};
        try {
            for (std::size_t i = next++; i < count; i = next++) {
                work(i, worker);
                if (caller) {
                    between();
                }
            }
        } catch (...) {
            next = count;
            throw;
        }
    };
    const std::size_t threads =
        std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::future<void>> helpers;
    for (std::size_t t = 1; t < threads; ++t) {
        helpers.push_back(std::async(std::launch::async, run, false));
    }
    std::exception_ptr failure;
    try {
        run(true);
    } catch (...) {
        failure = std::current_exception();
    }
    for (auto& helper : helpers) {
        try {
            helper.get();
        } catch (...) {
            failure = failure ? failure : std::current_exception();
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

std::uint32_t adlerOf(std::string_view bytes) {
    return libdeflate_adler32(1, bytes.data(), bytes.size());
}

std::uint32_t crcOf(std::string_view bytes) {
    return libdeflate_crc32(0, bytes.data(), bytes.size());
}

// A piece of the content to write: [from, from + size), taken over from the earlier stream's
// piece of that index or packed anew.
struct Planned {
    std::size_t from = 0;
    std::size_t size = 0;
    std::optional<std::size_t> taken;
    bool last = false;
};

// Cuts [from, to) of the content into pieces to pack anew: the head of the stream alone, the
// rest in pieces of kPieceSize.
void cutFresh(std::size_t from, std::size_t to, std::vector<Planned>& pieces) {
    while (from < to) {
        const std::size_t size = std::min(from == 0 ? kHeadPieceSize : kPieceSize, to - from);
        pieces.push_back({from, size, std::nullopt, false});
        from += size;
    }
}

// Whether each of the earlier stream's pieces that fit within the content comes again
// unchanged at the same place, compared on all cores.
std::vector<char> unchangedPieces(const PackSource& source, const PackedStream& earlier) {
    const std::vector<PackedPiece>& old = earlier.Pieces();
    std::vector<std::size_t> starts;
    std::size_t at = 0;
    for (const PackedPiece& piece : old) {
        if (at + piece.size > source.Size()) {
            break;
        }
        starts.push_back(at);
        at += piece.size;
    }
    std::vector<char> same(starts.size());
    onAllCores(
        starts.size(), kMixedLevels,
        [&](std::size_t i, Worker& worker) {
            const std::string_view input =
                source.Range(starts[i], starts[i] + old[i].size, worker.scratch);
            same[i] = crcOf(input) == old[i].crc && adlerOf(input) == old[i].adler;
        },
        [] {});
    return same;
}

// Plans the pieces of the content: each piece of the earlier stream whose content is found
// unchanged at the same place is taken over, the rest is packed anew. Nothing when the content
// is all of the earlier stream's.
std::optional<std::vector<Planned>> planPieces(std::size_t size, const PackedStream* earlier,
                                               const std::vector<char>& same) {
    std::vector<Planned> pieces;
    std::size_t fresh = 0;  // where the content not yet planned starts
    if (earlier != nullptr) {
        const std::vector<PackedPiece>& old = earlier->Pieces();
        std::size_t at = 0;
        bool allSame = true;
        for (std::size_t i = 0; i < same.size(); ++i) {
            allSame = allSame && same[i];
            if (i + 1 == old.size()) {
                // The final block ends the stream: its piece is taken only with all the rest.
                if (allSame && at + old[i].size == size) {
                    return std::nullopt;
                }
                break;
            }
            if (same[i]) {
                cutFresh(fresh, at, pieces);
                pieces.push_back({at, old[i].size, i, false});
                fresh = at + old[i].size;
            }
            at += old[i].size;
        }
    }
    cutFresh(fresh, size, pieces);
    if (pieces.empty()) {
        pieces.emplace_back();  // an empty stream
    }
    // The stream's last piece must end with a final block.
    pieces.back().taken.reset();
    pieces.back().last = true;
    return pieces;
}

// A piece once packed or taken over.
struct DonePiece {
    PackedPart part;
    std::uint32_t adler = 1;
    std::uint32_t crc = 0;
    std::atomic<bool> ready{false};
};

void packPiece(const PackSource& source, const Planned& planned, Worker& worker, DonePiece& done) {
    const std::string_view input =
        source.Range(planned.from, planned.from + planned.size, worker.scratch);
    std::string& deflated = worker.deflated;
    if (input.empty()) {
        // An empty stream: one empty final block of fixed codes, as zlib writes it, two bytes
        // shorter than the stored block libdeflate would write.
        deflated.assign("\x03\x00", 2);
    } else {
        libdeflate_compressor* compressor = worker.CompressorAt(planned.from);
        deflated.resize(libdeflate_deflate_compress_bound(compressor, input.size()));
        deflated.resize(libdeflate_deflate_compress(compressor, input.data(), input.size(),
                                                    deflated.data(), deflated.size()));
        if (!planned.last) {
            openEnd(deflated);
        }
    }
    done.adler = adlerOf(input);
    done.crc = crcOf(input);
    auto kept = std::make_shared<const std::string>(deflated);
    done.part = {kept, 0, kept->size()};
}

// Whether data of that size packed into that many bytes is better stored unpacked: its
// records could take more memory than its packed bytes allow a reader, so whatever is
// written can be read back.
bool storeUnpacked(std::size_t size, std::size_t packedSize) {
    return kMaxMemoryPerStoredByte * size > UnpackedMemoryBudget(size, packedSize);
}

PackedPart ownedPart(std::string bytes) {
    auto owned = std::make_shared<const std::string>(std::move(bytes));
    return {owned, 0, owned->size()};
}

// The zlib stream of the content at that level (kMixedLevels or kStoredLevel), each exactly
// what a zlib inflate reads: header 78 DA, the pieces' deflate blocks one after the other, the
// Adler-32 of the whole.
std::shared_ptr<const PackedStream> packAt(int level, const PackSource& source,
                                           const std::shared_ptr<const PackedStream>& earlier,
                                           const PackedWrite& write, const Progress& progress) {
    const std::size_t size = source.Size();
    const std::vector<char> same =
        earlier ? unchangedPieces(source, *earlier) : std::vector<char>();
    const std::optional<std::vector<Planned>> plan = planPieces(size, earlier.get(), same);
    const bool mayStore = level != kStoredLevel;
    // Packed once more, stored; its progress is not told again.
    const auto storeInstead = [&] {
        std::shared_ptr<const PackedStream> stored =
            packAt(kStoredLevel, source, nullptr, write, {});
        ReportProgress(progress, size, size);
        return stored;
    };
    if (!plan && !(mayStore && storeUnpacked(size, earlier->Size()))) {
        for (const PackedPart& part : earlier->Parts()) {
            if (write) {
                write(part.View());
            }
        }
        ReportProgress(progress, size, size);
        return earlier;
    }
    if (!plan) {
        return storeInstead();
    }
    const std::vector<Planned>& planned = *plan;

    std::vector<DonePiece> done(planned.size());
    std::vector<PackedPart> parts = {ownedPart(std::string(kZlibHeader, kZlibHeaderSize))};
    std::vector<PackedPiece> pieces;
    std::size_t packedSize = kZlibHeaderSize;
    uLong adler = 1;
    std::uint64_t packed = 0;
    for (const Planned& piece : planned) {
        packed += piece.taken ? piece.size : 0;
    }
    std::size_t written = 0;  // parts handed to write
    const auto writeOut = [&] {
        // Held back while the stream might still be stored unpacked instead.
        if (write && !(mayStore && storeUnpacked(size, packedSize))) {
            for (; written < parts.size(); ++written) {
                write(parts[written].View());
            }
        }
    };
    // Lays the pieces done so far end to end, in order.
    const auto gather = [&] {
        for (std::size_t i = pieces.size(); i < planned.size() && done[i].ready; ++i) {
            const DonePiece& piece = done[i];
            parts.push_back(piece.part);
            packedSize += piece.part.size;
            pieces.push_back({planned[i].size, packedSize, piece.adler, piece.crc});
            adler = adler32_combine(adler, piece.adler, static_cast<z_off_t>(planned[i].size));
            if (!planned[i].taken) {
                ReportProgress(progress, packed += planned[i].size, size);
            }
        }
        writeOut();
    };
    onAllCores(
        planned.size(), level,
        [&](std::size_t i, Worker& worker) {
            if (const std::optional<std::size_t> taken = planned[i].taken) {
                const PackedPiece& old = earlier->Pieces()[*taken];
                done[i].part = earlier->PieceBytes(*taken);
                done[i].adler = old.adler;
                done[i].crc = old.crc;
            } else {
                packPiece(source, planned[i], worker, done[i]);
            }
            done[i].ready.store(true, std::memory_order_release);
        },
        gather);
    gather();
    std::string trailer;
    for (int shift = 24; shift >= 0; shift -= 8) {
        trailer.push_back(static_cast<char>((adler >> shift) & 0xFF));
    }
    packedSize += trailer.size();
    if (mayStore && storeUnpacked(size, packedSize)) {
        return storeInstead();
    }
    parts.push_back(ownedPart(std::move(trailer)));
    writeOut();
    ReportProgress(progress, size, size);
    return std::make_shared<const PackedStream>(std::move(parts), std::move(pieces));
}

}  // namespace

std::shared_ptr<const PackedStream> PackSourced(const PackSource& source,
                                                const std::shared_ptr<const PackedStream>& earlier,
                                                const PackedWrite& write,
                                                const Progress& progress) {
    return packAt(kMixedLevels, source, earlier, write, progress);
}

}  // namespace kvalor
