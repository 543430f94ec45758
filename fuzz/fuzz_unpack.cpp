// Feeds arbitrary bytes to the readers of packed data: the cipher container, UnpackStream and
// the reader of streams packed in pieces.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cipher/KVTEACrypt.h"
#include "storage/Packing.h"
#include "util/ByteStream.h"
#include "util/Error.h"

using namespace kvalor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    // A rejected container must come back untouched; an accepted one must survive a round trip.
    THash bytes = input;
    if (!TKVTEADecrypt().decipher(bytes)) {
        if (bytes != input) {
            std::abort();
        }
    } else {
        THash again = bytes;
        TKVTEAEncrypt().encipher(again);
        if (!TKVTEADecrypt().decipher(again) || again != bytes) {
            std::abort();
        }
    }

    // Damaged data may only fail with the program's error, and never unpack beyond the cap.
    constexpr std::size_t kCap = 1 << 20;
    for (const int version : {2, 3}) {
        ByteStream stream(input);
        try {
            UnpackStream(stream, version, kCap);
            if (stream.size() > kCap) {
                std::abort();
            }
        } catch (const KvalorError&) {
            if (stream.data() != input) {
                std::abort();
            }
        }
    }
    // Pieces are found only in what unpacks whole, to the same bytes.
    ByteStream pieces(input);
    if (UnpackInPieces(pieces, kCap)) {
        ByteStream whole(input);
        UnpackStream(whole, 3, kCap);
        if (pieces.data() != whole.data()) {
            std::abort();
        }
    } else if (pieces.data() != input) {
        std::abort();
    }
    return 0;
}
