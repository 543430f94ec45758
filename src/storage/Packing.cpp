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

// zlib counts input in 32-bit units; hands it the next piece of a possibly larger buffer.
void feedInput(z_stream& zs, const char*& next, std::size_t& left) {
    const std::size_t piece = std::min<std::size_t>(left, UINT_MAX);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(next));
    zs.avail_in = static_cast<uInt>(piece);
    next += piece;
    left -= piece;
}

std::string compressBytes(const std::string& data) {
    z_stream zs{};
    int code = deflateInit(&zs, Z_BEST_COMPRESSION);
    if (code != Z_OK) {
        throw KvalorError(QStringLiteral("Ошибка сжатия данных: ") +
                          QString::fromLatin1(zlibMessage(zs, code)));
    }
    const ZlibStreamEnd deflateEndGuard{zs, deflateEnd};

    const char* next = data.data();
    std::size_t left = data.size();
    std::string out;
    std::string chunk(kChunkSize, '\0');
    do {
        if (zs.avail_in == 0 && left > 0) {
            feedInput(zs, next, left);
        }
        zs.next_out = reinterpret_cast<Bytef*>(chunk.data());
        zs.avail_out = static_cast<uInt>(chunk.size());
        code = deflate(&zs, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        if (code == Z_STREAM_ERROR) {
            throw KvalorError(QStringLiteral("Ошибка сжатия данных: ") +
                              QString::fromLatin1(zlibMessage(zs, code)));
        }
        out.append(chunk.data(), chunk.size() - zs.avail_out);
    } while (code != Z_STREAM_END);
    return out;
}

// Inflates chunk by chunk, so that the output never grows beyond maxSize whatever the data
// claims, and insists on exactly one complete zlib stream.
std::string decompressBytes(const std::string& data, std::size_t maxSize) {
    z_stream zs{};
    int code = inflateInit(&zs);
    if (code != Z_OK) {
        throwUnpackError(QString::fromLatin1(zlibMessage(zs, code)));
    }
    const ZlibStreamEnd inflateEndGuard{zs, inflateEnd};

    const char* next = data.data();
    std::size_t left = data.size();
    std::string out;
    std::string chunk(kChunkSize, '\0');
    do {
        if (zs.avail_in == 0 && left > 0) {
            feedInput(zs, next, left);
        }
        zs.next_out = reinterpret_cast<Bytef*>(chunk.data());
        zs.avail_out = static_cast<uInt>(chunk.size());
        code = inflate(&zs, Z_NO_FLUSH);
        if (code == Z_BUF_ERROR) {
            // No progress with room to write: the input ended inside the stream.
            throwUnpackError(QStringLiteral("сжатые данные неполны"));
        }
        if (code != Z_OK && code != Z_STREAM_END) {
            throwUnpackError(QString::fromLatin1(zlibMessage(zs, code)));
        }
        const std::size_t produced = chunk.size() - zs.avail_out;
        if (produced > maxSize - out.size()) {
            throwUnpackError(QStringLiteral("объем распакованных данных превышает %1 байт")
                                 .arg(static_cast<qulonglong>(maxSize)));
        }
        out.append(chunk.data(), produced);
    } while (code != Z_STREAM_END);
    if (zs.avail_in > 0 || left > 0) {
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
