#include "decode/Aldl.h"
#include "decode/Errors.h"
#include "decode/Hex.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Row(std::initializer_list<std::pair<int, std::string>> cells)
{
    std::vector<std::string> r(DefColumnCount);
    for (auto& [c, t] : cells) r[static_cast<std::size_t>(c)] = t;
    return r;
}

TEST(Aldl, EmptyRowGivesDefaults)
{
    TDisplay d(Row({}));
    EXPECT_EQ(d.StartByte, 1);
    EXPECT_EQ(d.StartBit, 0);
    EXPECT_EQ(d.Bits, 8);
    EXPECT_EQ(d.Display, DisplayKind::Value);
    EXPECT_EQ(d.Factor, 1.0L);
    EXPECT_EQ(d.Offset, 0.0L);
    EXPECT_EQ(d.Amin, 0.0L);
    EXPECT_EQ(d.Amax, 255.0L);
    EXPECT_EQ(d.Dmin, 0.0L);
    EXPECT_EQ(d.Dmax, 255.0L);
    EXPECT_EQ(d.Chart, 0);
    EXPECT_EQ(d.Series, 0);
    EXPECT_TRUE(d.Flags.empty());
    TDisplay shortRow(std::vector<std::string>{"only a name"});
    EXPECT_EQ(shortRow.Name, "only a name");
    EXPECT_EQ(shortRow.Amax, 255.0L);
}

TEST(Aldl, CellsParse)
{
    TDisplay d(Row({{colName, "Coolant"}, {colID, "CLT"}, {colStart, "12.3"}, {colBits, "16"},
                    {colDisplay, "Chart"}, {colChart, "2"}, {colSeries, "3"}, {colFactor, "0.75"},
                    {colOffset, "-40"}, {colFlags, "\"a, b\",c"}, {colAvg, "4"}, {colUnits, "DegC"}}));
    EXPECT_EQ(d.StartByte, 12);
    EXPECT_EQ(d.StartBit, 3);
    EXPECT_EQ(d.Amax, 65535.0L) << "limit defaults follow the width";
    EXPECT_EQ(d.Dmax, 65535.0L);
    EXPECT_EQ(d.Display, DisplayKind::Chart);
    EXPECT_EQ(d.Chart, 2);
    EXPECT_EQ(d.Series, 3);
    EXPECT_EQ(d.Factor, 0.75L);
    EXPECT_EQ(d.Offset, -40.0L);
    EXPECT_EQ(d.Flags, (std::vector<std::string>{"a, b", "c"}));
    EXPECT_EQ(d.Avg, 4);
    EXPECT_EQ(TDisplay(Row({{colBits, "0"}})).Amax, 0.0L);
    EXPECT_EQ(TDisplay(Row({{colDisplay, "flag"}})).Display, DisplayKind::Value);
    EXPECT_EQ(TDisplay(Row({{colDisplay, "chart"}})).Display, DisplayKind::Value);
    EXPECT_EQ(TDisplay(Row({{colDisplay, "Flag"}})).Display, DisplayKind::Flag);
}

TEST(Aldl, StartCell)
{
    struct { const char* text; int byte, bit; } cases[] = {
        {"12.3", 12, 3}, {"12.34", 12, 3}, {"12.3.4", 12, 3}, {"12.", 12, 0}, {".5", 1, 5},
        {"abc", 1, 0}, {"0", 0, 0}, {"10", 10, 0}, {"$A.1", 10, 1}};
    for (auto& c : cases) {
        EXPECT_EQ(ParseStartByte(c.text), c.byte) << c.text;
        EXPECT_EQ(ParseStartBit(c.text), c.bit) << c.text;
    }
}

TEST(Aldl, RawWordWindow)
{
    FrameBuffer b{};
    b[8] = 0x12; b[9] = 0x34;
    EXPECT_EQ(RawWord(b.data(), FrameLast, 10, 0, 8), 0x34);
    EXPECT_EQ(RawWord(b.data(), FrameLast, 10, 0, 16), 0x1234);
    EXPECT_EQ(RawWord(b.data(), FrameLast, 10, 4, 4), 3);
    EXPECT_EQ(RawWord(b.data(), FrameLast, 10, 2, 1), 1);
    b[0] = 0xAB; b[1] = 0xCD; b[2] = 0xEF;
    EXPECT_EQ(RawWord(b.data(), FrameLast, 1, 0, 16), 0xAB) << "no byte before byte 1";
    EXPECT_EQ(RawWord(b.data(), FrameLast, 3, 0, 24), 0xABCDEF);
    EXPECT_EQ(RawWord(b.data(), FrameLast, 129, 0, 8), 0);
    EXPECT_EQ(RawWord(b.data(), FrameLast, 10, 0, 0), 0);
}

TEST(Aldl, RawWordRejectsBadWindows)
{
    FrameBuffer b{};
    b.fill(0xFF);
    EXPECT_THROW(RawWord(b.data(), FrameLast, 0, 0, 8), ERangeError);
    EXPECT_THROW(RawWord(b.data(), FrameLast, 130, 0, 8), ERangeError);
    EXPECT_THROW(RawWord(b.data(), FrameLast, INT32_MIN, 0, 8), ERangeError);
    EXPECT_EQ(RawWord(b.data(), FrameLast, 10, 9, 16), 0) << "bit + bits over 24";
    EXPECT_EQ(RawWord(b.data(), FrameLast, 10, -1, 8), 0);
    EXPECT_EQ(RawWord(b.data(), FrameLast, 10, 0, -8), 0);
    EXPECT_EQ(RawWord(b.data(), FrameLast, 10, 0, INT32_MAX), 0);
    EXPECT_EQ(RawWord(b.data(), FrameLast, 10, 9, 8), 255) << "bit 9 of a 24-bit window is fine";
}

TEST(Aldl, ListOwnsDecodersInOrder)
{
    TAldl list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_THROW(list.Items(0), ERangeError);
    list.Add(Row({{colName, "a"}}));
    list.Add(Row({{colName, "b"}}));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(1).Name, "b");
    EXPECT_THROW(list.Items(-1), ERangeError);
    EXPECT_THROW(list.Items(2), ERangeError);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

} // namespace
