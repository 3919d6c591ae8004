#include <gtest/gtest.h>
#include <cstdint>
#include <string>
#include <vector>
#include "network/NetWire.h"

using Bytes = std::vector<std::uint8_t>;

TEST(NetWire, FramePacketsAreLaidOutByteForByte) {
    struct Case {
        const char* what;
        std::uint32_t sprite;
        std::vector<netwire::FrameRecord> records;
        Bytes expected;
    };
    const Case cases[] = {
        {"marker only: 14 bytes", 3, {{NetFrameMarker, {}}}, {7, 3, 0, 0, 0, 1, 0, 0, 0, 8, 0, 0, 0, 0}},
        {"marker, one mouse motion, one key press",
         0x01020304,
         {{NetFrameMarker, {}}, {NetMouseEvents, {1, 0xC8, 0, 0, 0x10, 0x27, 0, 0}}, {NetKeyEvents, {0x20, 1}}},
         {7,  4, 3, 2, 1, 3,    0,    0, 0,                    // type, sprite id, 3 records
          8,  0, 0, 0, 0,                                      // marker
          10, 8, 0, 0, 0, 1,    0xC8, 0, 0, 0x10, 0x27, 0, 0,  // mouse: X by -56 to 10000
          9,  2, 0, 0, 0, 0x20, 1}},                           // key 0x20 down
    };
    for (const Case& c : cases) {
        const Bytes packet = netwire::FrameInput(c.sprite, c.records);
        EXPECT_EQ(packet, c.expected) << c.what;
        std::uint32_t sprite = 0;
        std::vector<netwire::FrameRecord> back;
        std::string why;
        ASSERT_TRUE(netwire::ReadFrameInput(packet.data(), packet.size(), sprite, back, why)) << c.what << ": " << why;
        EXPECT_EQ(sprite, c.sprite);
        ASSERT_EQ(back.size(), c.records.size());
        for (std::size_t i = 0; i < back.size(); ++i) {
            EXPECT_EQ(back[i].type, c.records[i].type);
            EXPECT_EQ(back[i].data, c.records[i].data);
        }
    }
}

TEST(NetWire, MalformedFramePacketsAreRefusedWhole) {
    const Bytes good = netwire::FrameInput(5, {{NetFrameMarker, {}}, {NetKeyEvents, {0x1E, 1, 0x1E, 0}}});
    struct Case {
        const char* what;
        Bytes packet;
    };
    const Bytes truncated(good.begin(), good.end() - 1);
    Bytes trailing = good;
    trailing.push_back(0);
    Bytes hugeLength = {7, 5, 0, 0, 0, 1, 0, 0, 0, 9, 0xFF, 0xFF, 0xFF, 0xFF, 0x1E, 1};
    Bytes hugeCount = {7, 5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 8, 0, 0, 0, 0};
    Bytes unknownRecord = {7, 5, 0, 0, 0, 1, 0, 0, 0, 11, 0, 0, 0, 0};
    const Case cases[] = {
        {"type byte only", {7}},
        {"header cut short", {7, 5, 0, 0, 0, 1, 0}},
        {"last record cut short", truncated},
        {"bytes after the last record", trailing},
        {"record length far beyond the packet", hugeLength},
        {"record count far beyond the packet", hugeCount},
        {"record of an unknown type", unknownRecord},
    };
    for (const Case& c : cases) {
        std::uint32_t sprite = 0;
        std::vector<netwire::FrameRecord> records;
        std::string why;
        EXPECT_FALSE(netwire::ReadFrameInput(c.packet.data(), c.packet.size(), sprite, records, why)) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
        EXPECT_TRUE(records.empty()) << c.what;
    }
}

TEST(NetWire, PlayerListHoldsAtMost127IdsIn512Bytes) {
    struct Case {
        std::size_t offered;
        std::size_t carried;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{127, 127}, Case{128, 127}, Case{300, 127}}) {
        std::vector<std::uint32_t> ids;
        for (std::size_t i = 0; i < c.offered; ++i) ids.push_back(std::uint32_t(1000 + i));
        const Bytes packet = netwire::PlayerList(ids);
        EXPECT_EQ(packet.size(), 1 + 4 * c.carried) << c.offered;
        EXPECT_LE(packet.size(), netwire::MaxPlayerList);
        EXPECT_EQ(packet[0], NetPlayerList);
        const std::vector<std::uint32_t> back = netwire::ReadPlayerList(packet.data(), packet.size());
        EXPECT_EQ(back, std::vector<std::uint32_t>(ids.begin(), ids.begin() + std::ptrdiff_t(c.carried)));
    }
    // Bytes that make no whole id are ignored.
    const Bytes ragged = {0, 7, 0, 0, 0, 9, 9};
    EXPECT_EQ(netwire::ReadPlayerList(ragged.data(), ragged.size()), std::vector<std::uint32_t>{7});
}

TEST(NetWire, IdPacketsNeedFiveBytes) {
    const Bytes packet = netwire::IdPacket(NetPlayerAccepted, 0x00010203);
    EXPECT_EQ(packet, (Bytes{2, 3, 2, 1, 0}));
    std::uint32_t id = 0;
    EXPECT_TRUE(netwire::ReadId(packet.data(), packet.size(), id));
    EXPECT_EQ(id, 0x00010203u);
    for (std::size_t size = 1; size < 5; ++size) EXPECT_FALSE(netwire::ReadId(packet.data(), size, id)) << size;
}
