#include "storage/Packing.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <string>

#include "cipher/KVTEACrypt.h"
#include "util/Error.h"

namespace kvalor {

namespace {

constexpr int kFirstPlainVersion = 3;
constexpr std::size_t kChunkSize = 64 * 1024;

// Releases zlib's state however the packing step ends.
struct ZlibStreamEnd {
    z_stream& zs;
    int (*end)(z_streamp);
    ~ZlibStreamEnd() { end(&zs); }
};

const char* zlibMessage(const z_stream& zs, int code) {
    return zs.msg ? zs.msg : zError(code);
}

[[noreturn]] void throwUnpackError(const QString& reason) {
    throw ReadError(QStringLiteral("Ошибка распаковки данных: ") + reason);
}

[[noreturn]] void throwPackError(const z_stream& zs, int code) {
    throw KvalorError(QStringLiteral("Ошибка сжатия данных: ") +
                      QString::fromLatin1(zlibMessage(zs, code)));
}

// Runs deflate or inflate over the whole input, one output chunk at a time, until the zlib
// stream ends. step(inputEnds, outSize) makes one call of zlib, knowing whether all input has
// been handed over and how much output there is so far, checks the code and returns it. zlib
// counts input in 32-bit units, so a larger buffer goes in piece by piece.
template <class Step>
std::string runZlib(z_stream& zs, const std::string& data, Step step) {
    const char* next = data.data();
    std::size_t left = data.size();
    std::string out;
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
        code = step(left == 0, out.size());
        out.append(chunk.data(), chunk.size() - zs.avail_out);
    } while (code != Z_STREAM_END);
    return out;
}

std::string compressBytes(const std::string& data) {
    z_stream zs{};
    const int init = deflateInit(&zs, Z_BEST_COMPRESSION);
    if (init != Z_OK) {
        throwPackError(zs, init);
    }
    const ZlibStreamEnd deflateEndGuard{zs, deflateEnd};
    return runZlib(zs, data, [&zs](bool inputEnds, std::size_t) {
        const int code = deflate(&zs, inputEnds ? Z_FINISH : Z_NO_FLUSH);
        if (code == Z_STREAM_ERROR) {
            throwPackError(zs, code);
        }
        return code;
    });
}

// Inflates chunk by chunk, so that the output never grows beyond maxSize whatever the data
// claims, and insists on one complete zlib stream; what follows its end is not looked at.
std::string decompressBytes(const std::string& data, std::size_t maxSize) {
    z_stream zs{};
    const int init = inflateInit(&zs);
    if (init != Z_OK) {
        throwUnpackError(QString::fromLatin1(zlibMessage(zs, init)));
    }
    const ZlibStreamEnd inflateEndGuard{zs, inflateEnd};
    return runZlib(zs, data, [&zs, maxSize](bool, std::size_t outSize) {
        const int code = inflate(&zs, Z_NO_FLUSH);
        if (code == Z_BUF_ERROR) {
            // No progress with room to write: the input ended inside the stream.
            throwUnpackError(QStringLiteral("сжатые данные неполны"));
        }
        if (code != Z_OK && code != Z_STREAM_END) {
            throwUnpackError(QString::fromLatin1(zlibMessage(zs, code)));
        }
        const std::size_t produced = kChunkSize - zs.avail_out;
        if (produced > maxSize - outSize) {
            throwUnpackError(QStringLiteral("объем распакованных данных превышает %1 байт")
                                 .arg(static_cast<qulonglong>(maxSize)));
        }
        return code;
    });
}

// zlib's documented limit: deflate never expands data more than 1032 times.
constexpr std::size_t kMaxDeflateRatio = 1032;

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

void PackStream(ByteStream& stream, int version) {
    THash packed = compressBytes(stream.data());
    if (version < kFirstPlainVersion) {
        TKVTEAEncrypt().encipher(packed);
    }
    stream = ByteStream(std::move(packed));
}

void UnpackStream(ByteStream& stream, int version, std::size_t maxSize) {
    THash packed = stream.data();
    if (version < kFirstPlainVersion) {
        TKVTEADecrypt().decipher(packed);
    }
    stream = ByteStream(decompressBytes(packed, maxSize));
}

void UnpackStream(ByteStream& stream, int version) {
    UnpackStream(stream, version, UnpackLimit(stream.size()));
}

}  // namespace kvalor
