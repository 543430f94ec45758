#include "storage/Packing.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>
#include <QRegularExpression>

#include <algorithm>
#include <random>
#include <vector>

#include "StorageTestSupport.h"
#include "cipher/KVTEACrypt.h"
#include "storage/PiecePacker.h"
#include "util/Error.h"

namespace kvalor {
namespace {

using storagetest::zlibCompress;

constexpr std::size_t kGenerous = std::size_t{1} << 30;

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

// Unpacking must fail with the unpacking message in Russian and leave the stream as it was.
void expectUnpackFails(const std::string& bytes, int version, std::size_t maxSize) {
    ByteStream stream(bytes);
    try {
        UnpackStream(stream, version, maxSize);
        ADD_FAILURE() << "unpacked " << bytes.size() << " bytes without error";
    } catch (const UnpackError& error) {
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("Сжатые данные повреждены (")))
            << error.message().toStdString();
        EXPECT_FALSE(error.message().contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
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
    expectUnpackFails(stillEnciphered.data(), 3, kGenerous);
}

TEST(Packing, DamagedDataFailsCleanly) {
    const std::string packed = zlibCompress(sampleData(3000));

    expectUnpackFails("", 3, kGenerous);
    expectUnpackFails("not zlib data at all", 3, kGenerous);
    expectUnpackFails(packed.substr(0, packed.size() - 4), 3, kGenerous);  // no checksum
    expectUnpackFails(packed.substr(0, packed.size() / 2), 3, kGenerous);

    std::string flipped = packed;
    flipped[packed.size() / 2] = static_cast<char>(flipped[packed.size() / 2] ^ 0x55);
    expectUnpackFails(flipped, 3, kGenerous);

    std::string badChecksum = packed;
    badChecksum.back() = static_cast<char>(badChecksum.back() ^ 1);
    expectUnpackFails(badChecksum, 3, kGenerous);
}

TEST(Packing, BytesAfterTheEndOfTheStreamAreIgnored) {
    const std::string data = sampleData(3000);
    const std::string packed = zlibCompress(data);
    for (const std::string& tail : {std::string("X"), std::string(1, '\0'), packed}) {
        ByteStream stream(packed + tail);
        UnpackStream(stream, 3);
        EXPECT_EQ(stream.data(), data) << tail.size();
    }
}

TEST(Packing, TheLimitFollowsTheStoredSizeAndTheMachine) {
    // zlib's ratio bound, up to the machine's bound, which no constant caps: what a machine
    // with memory to spare writes beyond a gigabyte, it reads back.
    const std::size_t machine = MaxUnpackedSize();
    EXPECT_EQ(UnpackLimit(0), 0u);
    EXPECT_EQ(UnpackLimit(1000), std::min<std::size_t>(1032000, machine));
    EXPECT_EQ(UnpackLimit(machine), machine);
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const std::size_t memory = static_cast<std::size_t>(pages) * ::sysconf(_SC_PAGESIZE);
    EXPECT_EQ(machine, memory / 2);
    if (memory >= (std::size_t{4} << 30)) {
        EXPECT_GT(UnpackLimit(std::size_t{2} << 20), std::size_t{1} << 30);
    }

    SetMaxUnpackedSize(5000);
    EXPECT_EQ(UnpackLimit(1000), 5000u);
    const std::string data = sampleData(6000);
    expectUnpackFails(zlibCompress(data), 3, UnpackLimit(zlibCompress(data).size()));
    const auto refused =
        storagetest::errorText([] { RequireUnpackable(5001, 1000, QStringLiteral("Studies")); });
    SetMaxUnpackedSize(std::nullopt);
    EXPECT_EQ(refused,
              "Ошибка записи Studies: 5001 байт данных больше, чем можно прочитать на "
              "этом компьютере (5000 байт)");
    EXPECT_EQ(MaxUnpackedSize(), machine);
    RequireUnpackable(5001, 1000, QStringLiteral("Studies"));
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

// Data that packs in several pieces side by side, joined into one zlib stream: each piece
// ends its deflate blocks at another bit of its last byte, and random bytes end in stored
// blocks. Whatever the content, zlib itself must inflate the stream byte for byte, and text
// must pack within 3 % of what zlib's level 9 gives.
TEST(Packing, StreamsPackedInPiecesAreOneZlibStreamEach) {
    std::mt19937 random(5);
    const auto text = [&random](std::size_t size) {
        const char* words[] = {"\xEA\xEE\xF8\xEA\xE0 ", "\xF3\xF0\xEE\xEA ", "2024 ",
                               "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0} ", "\x01\x00\x00\x00"};
        std::string data;
        while (data.size() < size) {
            data += words[random() % 5];
            data.push_back(static_cast<char>(random() % 8));
        }
        data.resize(size);
        return data;
    };
    const auto noise = [&random](std::size_t size) {
        std::string data(size, '\0');
        for (char& byte : data) {
            byte = static_cast<char>(random());
        }
        return data;
    };
    std::vector<std::string> contents;
    for (const std::size_t size : {std::size_t{3} << 20, (std::size_t{5} << 20) + 4321}) {
        for (int variant = 0; variant < 3; ++variant) {
            contents.push_back(text(size + static_cast<std::size_t>(variant) * 977));
        }
    }
    contents.push_back(noise((std::size_t{2} << 20) + 77));
    contents.push_back(std::string((std::size_t{3} << 20) + 5, 'A'));
    contents.push_back("");
    contents.push_back("x");

    std::vector<ByteStream> streams;
    for (const std::string& content : contents) {
        streams.emplace_back(content);
    }
    std::vector<ByteStream*> pointers;
    for (ByteStream& stream : streams) {
        pointers.push_back(&stream);
    }
    PackStreams(pointers, 3);
    for (std::size_t i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string& packed = streams[i].data();
        EXPECT_EQ(packed.substr(0, 2), "\x78\xDA");
        EXPECT_EQ(zlibUncompress(packed, contents[i].size()), contents[i]);
        if (i < 6) {
            EXPECT_LE(packed.size(), zlibCompress(contents[i]).size() * 103 / 100);
        }
    }
}

}  // namespace

// Content that packs too well for its records' memory to be paid by the packed bytes is
// stored unpacked, so that it reads back within its budget; other content is compressed.
TEST(Packing, WhatIsPackedReadsBackWithinItsMemoryBudget) {
    for (const std::string& data : {std::string(8 << 20, '\0'), sampleData(200000)}) {
        // What is written as it is packed is what is kept, stored unpacked or not.
        std::string written;
        const auto kept = PackSourced(HeldSource(data), nullptr,
                                      [&written](std::string_view bytes) { written += bytes; });
        EXPECT_EQ(written, kept->Bytes());
        ByteStream stream(data);
        PackStream(stream, 3);
        EXPECT_EQ(stream.size() > data.size(), data.size() == 8 << 20);
        EXPECT_EQ(zlibUncompress(stream.data(), data.size()), data);
        UnpackStream(stream, 3);
        EXPECT_EQ(stream.memoryBudget(), kMaxMemoryPerStoredByte * data.size());
    }
}

}  // namespace kvalor
