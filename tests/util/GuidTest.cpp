#include <gtest/gtest.h>

#include <unordered_set>

#include "util/ByteStream.h"
#include "util/Guid.h"

using namespace kvalor;

TEST(Guid, BinaryLayoutAndCanonicalText) {
    const Guid id = Guid::fromLiteral("{7DBA6FC9-DDE6-4ACB-8856-06D3B139E8E3}");
    const Guid::Bytes expected = {0xC9, 0x6F, 0xBA, 0x7D, 0xE6, 0xDD, 0xCB, 0x4A,
                                  0x88, 0x56, 0x06, 0xD3, 0xB1, 0x39, 0xE8, 0xE3};
    EXPECT_EQ(id.bytes(), expected);
    EXPECT_EQ(id.toString(), "{7DBA6FC9-DDE6-4ACB-8856-06D3B139E8E3}");

    ByteStream s;
    s.writeGuid(id);
    EXPECT_EQ(s.data(), std::string(reinterpret_cast<const char*>(expected.data()), 16));

    EXPECT_EQ(Guid::fromString("{7dba6fc9-dde6-4acb-8856-06d3b139e8e3}"), id);
    EXPECT_FALSE(Guid::fromString("7DBA6FC9-DDE6-4ACB-8856-06D3B139E8E3").has_value());
    EXPECT_FALSE(Guid::fromString("{ZZBA6FC9-DDE6-4ACB-8856-06D3B139E8E3}").has_value());
}

TEST(Guid, NullAndNewIds) {
    EXPECT_TRUE(Guid().isNull());
    EXPECT_EQ(Guid().toString(), "{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(Guid::fromString("{00000000-0000-0000-0000-000000000000}"), Guid());

    std::unordered_set<Guid> ids;
    for (int i = 0; i < 1000; ++i) {
        const Guid id = Guid::create();
        EXPECT_FALSE(id.isNull());
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 1000u);
}
