#include "storage/Packing.h"

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
// counts input in 32-bit units, so a larger buffer goes in piece by piece. unconsumed gets the
// count of input bytes after the end of the stream.
template <class Step>
std::string runZlib(z_stream& zs, const std::string& data, Step step, std::size_t& unconsumed) {
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
    unconsumed = zs.avail_in + left;
    return out;
}

std::string compressBytes(const std::string& data) {
    z_stream zs{};
    const int init = deflateInit(&zs, Z_BEST_COMPRESSION);
    if (init != Z_OK) {
        throwPackError(zs, init);
    }
    const ZlibStreamEnd deflateEndGuard{zs, deflateEnd};
    std::size_t unconsumed = 0;
    return runZlib(
        zs, data,
        [&zs](bool inputEnds, std::size_t) {
            const int code = deflate(&zs, inputEnds ? Z_FINISH : Z_NO_FLUSH);
            if (code == Z_STREAM_ERROR) {
                throwPackError(zs, code);
            }
            return code;
        },
        unconsumed);
}

// Inflates chunk by chunk, so that the output never grows beyond maxSize whatever the data
// claims, and insists on exactly one complete zlib stream.
std::string decompressBytes(const std::string& data, std::size_t maxSize) {
    z_stream zs{};
    const int init = inflateInit(&zs);
    if (init != Z_OK) {
        throwUnpackError(QString::fromLatin1(zlibMessage(zs, init)));
    }
    const ZlibStreamEnd inflateEndGuard{zs, inflateEnd};
    std::size_t unconsumed = 0;
    std::string out = runZlib(
        zs, data,
        [&zs, maxSize](bool, std::size_t outSize) {
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
        },
        unconsumed);
    if (unconsumed > 0) {
        throwUnpackError(QStringLiteral("лишние байты после сжатых данных"));
    }
    return out;
}

}  // namespace

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

}  // namespace kvalor
