#include "decode/Errors.h"
#include "decode/Hex.h"

#include <clocale>
#include <gtest/gtest.h>

namespace {

std::vector<int> Bytes(const FrameBuffer& b, int n) { return std::vector<int>(b.begin(), b.begin() + n); }

TEST(Hex, HexToByteReadsAtMostTwoDigits)
{
    EXPECT_EQ(HexToByte("F4"), 244);
    EXPECT_EQ(HexToByte("f"), 15);
    EXPECT_EQ(HexToByte("B5xx"), 181);
    EXPECT_EQ(HexToByte("G1"), 0);
    EXPECT_EQ(HexToByte(""), 0);
    EXPECT_EQ(HexToByte(" 1"), 0);
    EXPECT_EQ(HexToByte("-1"), 0);
    EXPECT_EQ(ByteToHex(5), "05");
    EXPECT_EQ(ByteToHex(0x1FF), "FF");
    EXPECT_EQ(ByteToHex(-1), "FF");
}

TEST(Hex, ByteListsRoundTrip)
{
    FrameBuffer b{};
    b[0] = 1; b[1] = 23; b[2] = 255;
    EXPECT_EQ(BytesToDec(b.data(), FrameLast, 3), "  1, 23,255");
    EXPECT_EQ(BytesToHex(b.data(), FrameLast, 3), "01,17,FF");
    EXPECT_EQ(BytesToDec(b.data(), FrameLast, 0), "");
    EXPECT_EQ(BytesToDec(b.data(), FrameLast, -5), "");
    for (int i = 0; i <= FrameLast; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    FrameBuffer r{};
    EXPECT_EQ(DecToBytes(BytesToDec(b.data(), FrameLast, 129), r.data(), FrameLast), 129);
    EXPECT_EQ(r, b);
    r = {};
    EXPECT_EQ(HexToBytes(BytesToHex(b.data(), FrameLast, 129), r.data(), FrameLast), 129);
    EXPECT_EQ(r, b);
}

TEST(Hex, ListSeparatorsAndEmptyItems)
{
    FrameBuffer b{};
    EXPECT_EQ(HexToBytes("F4,56,01,B5", b.data(), FrameLast), 4);
    EXPECT_EQ(Bytes(b, 4), (std::vector<int>{244, 86, 1, 181}));
    EXPECT_EQ(HexToBytes("F4 56  01", b.data(), FrameLast), 3);
    EXPECT_EQ(HexToBytes("", b.data(), FrameLast), 0);
    EXPECT_EQ(b[0], 244) << "an empty text leaves the buffer alone";
    EXPECT_EQ(HexToBytes("ZZ,10", b.data(), FrameLast), 2);
    EXPECT_EQ(Bytes(b, 2), (std::vector<int>{0, 16}));
    EXPECT_EQ(HexToBytes("F456", b.data(), FrameLast), 1);
    EXPECT_EQ(b[0], 244);

    EXPECT_EQ(DecToBytes("  1, 23,255", b.data(), FrameLast), 3);
    EXPECT_EQ(Bytes(b, 3), (std::vector<int>{1, 23, 255}));
    EXPECT_EQ(DecToBytes("1,,2", b.data(), FrameLast), 3);
    EXPECT_EQ(Bytes(b, 3), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(DecToBytes("1, ,2", b.data(), FrameLast), 3);
    EXPECT_EQ(DecToBytes(",1", b.data(), FrameLast), 2);
    EXPECT_EQ(DecToBytes("1,", b.data(), FrameLast), 1);
    EXPECT_EQ(DecToBytes("300,256,-1,$10,0x20,abc,99999999999", b.data(), FrameLast), 7);
    EXPECT_EQ(Bytes(b, 7), (std::vector<int>{44, 0, 255, 16, 32, 0, 0}));
    EXPECT_EQ(DecToBytes("\"1\",\" 2 \"", b.data(), FrameLast), 2);
    EXPECT_EQ(Bytes(b, 2), (std::vector<int>{1, 2}));
}

TEST(Hex, BoundsAreRangeErrorsAndKeepStoredBytes)
{
    std::string text;
    for (int i = 0; i < 130; ++i) text += std::to_string(i % 200) + ",";
    FrameBuffer b{};
    EXPECT_THROW(DecToBytes(text, b.data(), FrameLast), ERangeError);
    EXPECT_EQ(b[128], 128) << "bytes stored before the failure stay";
    std::uint8_t small[4] = {};
    EXPECT_THROW(HexToBytes("1 2 3 4 5", small, 3), ERangeError);
    EXPECT_EQ(small[3], 4);
    EXPECT_THROW(BytesToDec(b.data(), FrameLast, 130), ERangeError);
    EXPECT_THROW(BytesToHex(b.data(), FrameLast, 130), ERangeError);
}

TEST(Hex, IntegerConversion)
{
    std::int32_t v = 0;
    EXPECT_TRUE(TryStrToInt("  -12", v)); EXPECT_EQ(v, -12);
    EXPECT_TRUE(TryStrToInt("+7", v)); EXPECT_EQ(v, 7);
    EXPECT_TRUE(TryStrToInt("$ff", v)); EXPECT_EQ(v, 255);
    EXPECT_TRUE(TryStrToInt("0X1A", v)); EXPECT_EQ(v, 26);
    EXPECT_TRUE(TryStrToInt("-$10", v)); EXPECT_EQ(v, -16);
    EXPECT_TRUE(TryStrToInt("$FFFFFFFF", v)); EXPECT_EQ(v, -1);
    EXPECT_TRUE(TryStrToInt("2147483647", v)); EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(TryStrToInt("-2147483648", v)); EXPECT_EQ(v, INT32_MIN);
    for (const char* bad : {"", " ", "-", "$", "0x", "12 ", "1.5", "2147483648", "-2147483649", "$100000000", "12a", "x12"})
        EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
    EXPECT_EQ(StrToIntDef("abc", 42), 42);
}

TEST(Hex, DashForm)
{
    EXPECT_EQ(DashToEmpty("-"), "");
    EXPECT_EQ(DashToEmpty("--"), "--");
    EXPECT_EQ(DashToEmpty(""), "");
    EXPECT_EQ(EmptyToDash(""), "-");
    EXPECT_EQ(EmptyToDash("x"), "x");
}

TEST(Hex, NumberTexts)
{
    EXPECT_EQ(NumberToText(12), "12");
    EXPECT_EQ(NumberToText(-3), "-3");
    EXPECT_EQ(NumberToText(0), "0");
    EXPECT_EQ(NumberToText(-0.0L), "0");
    EXPECT_EQ(NumberToText(0.5), "0.5000");
    EXPECT_EQ(NumberToText(-0.25), "-0.2500");
    EXPECT_EQ(NumberToText(0.1L), "0.1000");
    EXPECT_EQ(NumberToText(-0.999L), "-0.9990");
    EXPECT_EQ(NumberToText(12.3456L), "12.35");
    EXPECT_EQ(NumberToText(-1.5), "-1.50");
    EXPECT_EQ(NumberToText(255), "255");
    EXPECT_EQ(NumberToText(1e20L), "100000000000000000000");
    EXPECT_EQ(NumberToText(100.0L / 255.0L), "0.3922");
}

TEST(Hex, FloatFromText)
{
    EXPECT_EQ(FloatFromText("abc", 255), 255);
    EXPECT_EQ(FloatFromText(" 2.5 ", 0), 2.5L);
    EXPECT_EQ(FloatFromText("-40", 0), -40);
    EXPECT_EQ(FloatFromText("1e3", 0), 1000);
    EXPECT_EQ(FloatFromText(".5", 0), 0.5L);
    EXPECT_EQ(FloatFromText("0.1", 0), 0.1L) << "parsed in extended precision";
    for (const char* bad : {"", " ", "1,5", "inf", "nan", "0x10", "1e", "--1", ".", "1e99999"})
        EXPECT_EQ(FloatFromText(bad, 7), 7) << bad;
}

// A comma-decimal locale must not change any text the program reads or writes.
TEST(Hex, LocaleDoesNotChangeNumbers)
{
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"};
    const char* got = nullptr;
    for (const char* n : names)
        if ((got = std::setlocale(LC_ALL, n))) break;
    if (!got) GTEST_SKIP() << "no comma-decimal locale installed";
    EXPECT_EQ(NumberToText(12.3456L), "12.35");
    EXPECT_EQ(NumberToText(0.5L), "0.5000");
    EXPECT_EQ(FloatFromText("2.5", 0), 2.5L);
    EXPECT_EQ(FloatFromText("2,5", 9), 9);
    std::setlocale(LC_ALL, "C");
}

TEST(Hex, CommaTextQuotingRoundTrips)
{
    std::vector<std::string> items{"plain", "with space", "a,b", "say \"hi\"", "", "-", "tab\there"};
    std::string t = JoinCommaText(items);
    EXPECT_EQ(t, "plain,\"with space\",\"a,b\",\"say \"\"hi\"\"\",,-,\"tab\there\"");
    EXPECT_EQ(SplitList(t), items);
    EXPECT_EQ(JoinCommaText({""}), "\"\"");
    EXPECT_EQ(SplitList("\"\""), std::vector<std::string>{""});
    EXPECT_TRUE(SplitList("").empty());
    EXPECT_EQ(SplitList("a b"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitList("\"unterminated, rest"), std::vector<std::string>{"unterminated, rest"});
    std::string bytes = "\x80\xff\x01z";
    EXPECT_EQ(SplitList(JoinCommaText({bytes})), std::vector<std::string>{bytes}) << "8-bit bytes kept";
}

TEST(Hex, EveryWrittenListReadsBackWhole)
{
    // Every list of up to three items over awkward pieces, NUL and empty included.
    const std::vector<std::string> pieces{"", "a", " ", ",", "\"", std::string(1, '\0'), "-", "x\0y"};
    std::vector<std::vector<std::string>> lists{{}};
    for (int len = 0; len < 3; ++len) {
        const auto shorter = lists;
        for (const auto& l : shorter) {
            if (l.size() != static_cast<std::size_t>(len)) continue;
            for (const auto& p : pieces) {
                lists.push_back(l);
                lists.back().push_back(p);
            }
        }
    }
    for (const auto& l : lists) EXPECT_EQ(SplitList(JoinCommaText(l)), l) << JoinCommaText(l);
    EXPECT_EQ(JoinCommaText({"On", ""}), "On,\"\"");
    EXPECT_EQ(SplitList("On,"), std::vector<std::string>{"On"}) << "files written before still read the same";
}

TEST(Hex, NulIsAnOrdinaryCharacterInALineList)
{
    using namespace std::string_literals;
    EXPECT_EQ(SplitList("a\0b,c"s), (std::vector<std::string>{"a\0b"s, "c"}));
    EXPECT_EQ(SplitList("1,\0,2"s), (std::vector<std::string>{"1", "\0"s, "2"}));
    FrameBuffer b{};
    b.fill(9);
    EXPECT_EQ(DecToBytes("  1,\0, 23"s, b.data(), FrameLast), 3) << "the bytes after a NUL are kept";
    EXPECT_EQ(Bytes(b, 3), (std::vector<int>{1, 0, 23}));
}

} // namespace
