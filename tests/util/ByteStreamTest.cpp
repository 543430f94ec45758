#include <gtest/gtest.h>

#include <limits>

#include "util/ByteStream.h"
#include "util/Error.h"

using namespace kvalor;

TEST(ByteStream, WritesLittleEndianAndReadsBack) {
    ByteStream out;
    out.writeU8(0xAB);
    out.writeI32(-2);
    out.writeDouble(1.5);
    out.writeString("\xC0\xE1");
    const std::string expected(
        "\xAB"
        "\xFE\xFF\xFF\xFF"
        "\x00\x00\x00\x00\x00\x00\xF8\x3F"
        "\x02\x00\x00\x00\xC0\xE1",
        19);
    EXPECT_EQ(out.data(), expected);

    ByteStream in(expected);
    EXPECT_EQ(in.readU8(), 0xAB);
    EXPECT_EQ(in.readI32(), -2);
    EXPECT_EQ(in.readDouble(), 1.5);
    EXPECT_EQ(in.readString(), "\xC0\xE1");
    EXPECT_TRUE(in.atEnd());
}

TEST(ByteStream, OverwritesInPlaceAfterSeek) {
    ByteStream s;
    s.writeI32(1);
    s.writeI32(2);
    s.seek(0);
    s.writeI32(7);
    EXPECT_EQ(s.size(), 8u);
    s.seek(0);
    EXPECT_EQ(s.readI32(), 7);
    EXPECT_EQ(s.readI32(), 2);
}

TEST(ByteStream, EveryReadPastTheEndFailsWithoutMovingOn) {
    ByteStream s(std::string("\x01\x02\x03", 3));
    EXPECT_THROW(s.readI32(), ReadError);
    EXPECT_EQ(s.position(), 0u);
    EXPECT_THROW(s.readGuid(), ReadError);
    EXPECT_THROW(s.readDouble(), ReadError);
    EXPECT_THROW(s.readBytes(4), ReadError);
    EXPECT_THROW(s.seek(4), ReadError);
    s.readBytes(3);
    EXPECT_THROW(s.readU8(), ReadError);
}

TEST(ByteStream, DamagedLengthsAndCountsFailBeforeAllocating) {
    ByteStream huge;
    huge.writeI32(std::numeric_limits<std::int32_t>::max());
    huge.writeBytes("abc", 3);
    huge.seek(0);
    EXPECT_THROW(huge.readString(), ReadError);
    huge.seek(0);
    EXPECT_THROW(huge.readCount(EntryCost{1, 0}), ReadError);

    ByteStream negative;
    negative.writeI32(-1);
    negative.seek(0);
    EXPECT_THROW(negative.readString(), ReadError);
    negative.seek(0);
    EXPECT_THROW(negative.readCount(EntryCost{1, 0}), ReadError);

    // A count that the rest can hold passes; one entry more does not.
    ByteStream fits;
    fits.writeI32(2);
    fits.writeBytes(std::string(8, '\0'));
    fits.seek(0);
    EXPECT_EQ(fits.readCount(EntryCost{4, 0}), 2);
    fits.seek(0);
    EXPECT_THROW(fits.readCount(EntryCost{5, 0}), ReadError);
}
