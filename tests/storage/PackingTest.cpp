#include "storage/Packing.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "StorageTestSupport.h"
#include "cipher/KVTEACrypt.h"
#include "util/Error.h"

namespace kvalor {
namespace {

using storagetest::zlibCompress;

std::string sampleData(std::size_t length) {
    std::string data;
    for (std::size_t i = 0; i < length; ++i) {
        data.push_back(static_cast<char>((i * i + i / 7) & 0xFF));
    }
    return data;
}

// Inflated by zlib itself, so that the packed bytes are checked without the code under test.
std::string zlibUncompress(const std::string& packed, std::size_t expectedSize) {
    std::string out(expectedSize, '\0');
    uLongf outSize = out.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &outSize,
                         reinterpret_cast<const Bytef*>(packed.data()), packed.size()),
              Z_OK);
    out.resize(outSize);
    return out;
}

// Unpacking must fail with the unpacking message and leave the stream as it was.
void expectUnpackFails(const std::string& bytes, int version, std::size_t maxSize) {
    ByteStream stream(bytes);
    try {
        UnpackStream(stream, version, maxSize);
        ADD_FAILURE() << "unpacked " << bytes.size() << " bytes without error";
    } catch (const KvalorError& error) {
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("Ошибка распаковки данных: ")))
            << error.message().toStdString();
    }
    EXPECT_EQ(stream.data(), bytes);
}

TEST(Packing, EmptyStreamPacksToTheMinimalZlibStream) {
    ByteStream stream;
    PackStream(stream, 3);
    EXPECT_EQ(stream.data(), std::string("\x78\xDA\x03\x00\x00\x00\x00\x01", 8));
    EXPECT_EQ(stream.position(), 0u);

    UnpackStream(stream, 3);
    EXPECT_EQ(stream.size(), 0u);
}

TEST(Packing, CurrentVersionIsPlainZlibOfTheWholeContent) {
    const std::string data = sampleData(200000);
    ByteStream stream(data);
    stream.seek(1000);  // packing ignores the position
    PackStream(stream, 3);
    EXPECT_EQ(stream.data().substr(0, 2), "\x78\xDA");
    EXPECT_LT(stream.size(), data.size());
    EXPECT_EQ(zlibUncompress(stream.data(), data.size()), data);

    UnpackStream(stream, 3);
    EXPECT_EQ(stream.data(), data);
    EXPECT_EQ(stream.position(), 0u);
}

TEST(Packing, VersionTwoIsCompressedThenEnciphered) {
    const std::string data = sampleData(5000);
    ByteStream stream(data);
    PackStream(stream, 2);
    EXPECT_EQ(stream.data().substr(0, 3), "ETA");

    THash compressed = stream.data();
    ASSERT_TRUE(TKVTEADecrypt().decipher(compressed));
    EXPECT_EQ(compressed.substr(0, 2), "\x78\xDA");
    EXPECT_EQ(zlibUncompress(compressed, data.size()), data);

    UnpackStream(stream, 2);
    EXPECT_EQ(stream.data(), data);

    // Old files whose bytes are no container are decompressed as they are.
    ByteStream plain(zlibCompress(data));
    UnpackStream(plain, 2);
    EXPECT_EQ(plain.data(), data);

    // Read as the current version, enciphered data is no zlib stream.
    ByteStream stillEnciphered(data);
    PackStream(stillEnciphered, 2);
    expectUnpackFails(stillEnciphered.data(), 3, kMaxUnpackedSize);
}

TEST(Packing, DamagedDataFailsCleanly) {
    const std::string packed = zlibCompress(sampleData(3000));

    expectUnpackFails("", 3, kMaxUnpackedSize);
    expectUnpackFails("not zlib data at all", 3, kMaxUnpackedSize);
    expectUnpackFails(packed.substr(0, packed.size() - 4), 3, kMaxUnpackedSize);  // no checksum
    expectUnpackFails(packed.substr(0, packed.size() / 2), 3, kMaxUnpackedSize);
    expectUnpackFails(packed + "X", 3, kMaxUnpackedSize);
    expectUnpackFails(packed + packed, 3, kMaxUnpackedSize);

    std::string flipped = packed;
    flipped[packed.size() / 2] = static_cast<char>(flipped[packed.size() / 2] ^ 0x55);
    expectUnpackFails(flipped, 3, kMaxUnpackedSize);

    std::string badChecksum = packed;
    badChecksum.back() = static_cast<char>(badChecksum.back() ^ 1);
    expectUnpackFails(badChecksum, 3, kMaxUnpackedSize);
}

TEST(Packing, OutputIsBoundedByTheCap) {
    // A megabyte of zeros compresses to about a kilobyte.
    const std::string zeros(1 << 20, '\0');
    const std::string bomb = zlibCompress(zeros);
    ASSERT_LT(bomb.size(), 2000u);

    expectUnpackFails(bomb, 3, 100000);
    expectUnpackFails(bomb, 3, zeros.size() - 1);

    ByteStream exact(bomb);
    UnpackStream(exact, 3, zeros.size());
    EXPECT_EQ(exact.data(), zeros);
}

}  // namespace
}  // namespace kvalor
