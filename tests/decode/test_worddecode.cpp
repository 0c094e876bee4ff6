#include "decode/DisplayLayout.h"
#include "decode/WordDecode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

std::vector<std::string> Row(std::initializer_list<std::pair<int, std::string>> cells)
{
    std::vector<std::string> r(DefColumnCount);
    for (auto& [c, t] : cells) r[static_cast<std::size_t>(c)] = t;
    return r;
}

std::string Fast(long double v)
{
    std::string s;
    AppendNumberText(s, v);
    return s;
}

TEST(NumberText, SameTextAsNumberToText)
{
    // Exact ties (odd eighths, odd 32nds), values just beside them, signs, and the slow cases.
    std::vector<long double> values = {0, -0.0L, 1, -1, 35, 35.75L, -0.25L, 0.125L, 0.375L, -2.625L, 8110.875L,
                                       0.03125L, -0.09375L, 0.00005L, 0.99999L, -0.99999L, 0.999951L, 1e15L,
                                       -3e14L + 0.5L, 1099511627775.5L, 1e-30L, -1e-30L, -0.00005L, -0.99995L,
                                       std::numeric_limits<long double>::infinity(),
                                       std::numeric_limits<long double>::quiet_NaN()};
    for (int j = -4000; j <= 4000; ++j) values.push_back(j / 32.0L);
    std::mt19937 rng(7);
    const long double factors[] = {0.75L, 0.25L, 0.4L, 0.3922L, 0.00444L, 0.1L, 0.01L, 1.0L / 3, 0.125L, 25};
    for (int i = 0; i < 40000; ++i) {
        const long double raw = static_cast<long double>(rng() % 65536);
        const long double f = factors[rng() % 10];
        const long double off = static_cast<long double>(static_cast<int>(rng() % 200) - 100) / 4;
        values.push_back(raw * f + off);
        values.push_back(std::nextafter(raw * f + off, 1e30L));
    }
    for (long double v : values) ASSERT_EQ(Fast(v), NumberToText(v)) << static_cast<double>(v);
}

TEST(WordDecode, FlagTextsRoundHalfToEven)
{
    TDisplay d(Row({{colDisplay, "Flag"}, {colFactor, "0.5"}, {colFlags, "a,b,c"}}));
    EXPECT_EQ(FlagText(d, 2.5L), "c"); // raw 5
    EXPECT_EQ(FlagText(d, 0.5L), "a");
    EXPECT_EQ(FlagText(d, 3.5L), "?");
    EXPECT_EQ(FlagText(d, 2.6L), "?");   // rounds to 3
    EXPECT_EQ(FlagText(d, -0.25L), "?");
    EXPECT_EQ(FlagText(d, std::numeric_limits<long double>::quiet_NaN()), "?");
    EXPECT_EQ(FlagIndex(d, 1.5L), 2);
}

TEST(WordDecode, ResultsLimitsAndChartFeed)
{
    TAldl aldl;
    aldl.Add(Row({{colStart, "10"}, {colBits, "16"}, {colFactor, "0.25"}, {colAmin, "300"}}));
    aldl.Add(Row({{colStart, "1"}, {colDisplay, "Flag"}, {colFlags, "Off,On"}, {colAmax, "0"}}));
    aldl.Add(Row({{colStart, "2"}, {colChart, "1"}, {colSeries, "2"}}));
    aldl.Add(Row({{colStart, "3"}, {colDisplay, "Chart"}, {colChart, "1"}, {colSeries, "2"}, {colAmax, "5"}}));
    aldl.Add(Row({{colStart, "4"}, {colDisplay, "Value"}, {colChart, "3"}, {colSeries, "1"}, {colOffset, "-40"},
                  {colFactor, "0.75"}}));
    FrameBuffer f{};
    f[8] = 3, f[9] = 232, f[0] = 1, f[1] = 7, f[2] = 9, f[3] = 53;
    TFrameResult r;
    DecodeWords(aldl, f, r);
    ASSERT_EQ(r.Words.size(), 5u);
    EXPECT_EQ(r.FirstUnread, -1);
    EXPECT_EQ(r.Words[0].Raw, 1000);
    EXPECT_EQ(r.Words[0].Text, "250");
    EXPECT_TRUE(r.Words[0].Below);
    EXPECT_EQ(r.Words[1].Text, "On");
    EXPECT_TRUE(r.Words[1].Above);
    EXPECT_TRUE(r.Words[3].Above);
    EXPECT_EQ(r.Words[4].Text, "-0.2500");
    EXPECT_EQ(r.Feed[0][1], 9.0L); // the later word on the same trace wins
    EXPECT_EQ(r.Feed[2][0], -0.25L); // a Value word with a trace feeds it too
    EXPECT_EQ(r.Feed[1][0], FeedNoValue);

    DecodeWords(aldl, f, r, false);
    EXPECT_TRUE(r.Words[0].Text.empty());
    EXPECT_EQ(r.Words[0].Value, 250.0L);
}

TEST(WordDecode, WordOutsideTheBufferDoesNotStopTheOthers)
{
    TAldl aldl;
    aldl.Add(Row({{colStart, "1"}, {colChart, "1"}, {colSeries, "1"}}));
    aldl.Add(Row({{colStart, "200"}}));
    aldl.Add(Row({{colStart, "2"}, {colChart, "2"}, {colSeries, "1"}}));
    aldl.Add(Row({{colStart, "0"}}));
    FrameBuffer f{};
    f[0] = 4, f[1] = 5;
    TFrameResult r;
    DecodeWords(aldl, f, r);
    EXPECT_EQ(r.FirstUnread, 1);
    EXPECT_TRUE(r.Words[0].Read);
    EXPECT_FALSE(r.Words[1].Read);
    EXPECT_EQ(r.Words[2].Raw, 5);
    EXPECT_FALSE(r.Words[3].Read);
    // The window draws nothing past the failure: only earlier words feed.
    EXPECT_EQ(r.Feed[0][0], 4.0L);
    EXPECT_EQ(r.Feed[1][0], FeedNoValue);
}

TEST(DisplayLayout, RowsRangesAndNames)
{
    std::vector<std::vector<std::string>> words = {
        Row({{colName, "F1"}, {colDisplay, "Flag"}}),
        Row({{colName, "V1"}, {colID, "RPM"}, {colDisplay, "Chart"}, {colChart, "2"}, {colSeries, "3"}}),
        Row({{colName, "F2"}, {colDisplay, "Flag"}}),
        Row({{colID, "CLT"}, {colDisplay, "Chart"}, {colChart, "1"}, {colSeries, "1"}, {colDmin, "-40"},
             {colDmax, "150"}}),
        Row({{colID, "X"}, {colDisplay, "Chart"}, {colChart, "1"}, {colSeries, "5"}, {colDmax, "300"}}),
        Row({{colID, "low"}, {colDisplay, "chart"}, {colChart, "3"}, {colSeries, "1"}, {colDmax, "900"}}),
        Row({{colID, "four"}, {colDisplay, "Chart"}, {colChart, "4"}, {colSeries, "1"}}),
        Row({{colID, "none"}, {colDisplay, "Chart"}, {colChart, "3"}, {colSeries, "0"}, {colDmax, "900"}}),
    };
    TAldl aldl;
    aldl.Add(Row({}));
    TDisplayLayout l;
    BuildDisplays(words, aldl, l);
    EXPECT_EQ(aldl.Count(), 8);
    EXPECT_EQ(l.MalfWords, (std::vector<int>{0, 2}));
    EXPECT_EQ(l.DataWords, (std::vector<int>{1, 3, 4, 5, 6, 7}));
    EXPECT_EQ(l.Charts[1].MinRange, 0.0L);
    EXPECT_EQ(l.Charts[1].MaxRange, 255.0L);
    EXPECT_EQ(l.Charts[1].Names[2], "RPM");
    EXPECT_EQ(l.Charts[0].MinRange, -40.0L);
    EXPECT_EQ(l.Charts[0].MaxRange, 300.0L); // series 5 widens, names nothing
    EXPECT_EQ(l.Charts[0].Names[0], "CLT");
    EXPECT_EQ(l.Charts[0].Names[3], "Series 4");
    EXPECT_EQ(l.Charts[2].MaxRange, 1.0L);
    EXPECT_EQ(l.Charts[2].Names[0], "Series 1");

    BuildDisplays({Row({{colDisplay, "Chart"}, {colChart, "1"}, {colSeries, "1"}, {colDmin, "10"}, {colDmax, "0.5"}})},
                  aldl, l);
    EXPECT_EQ(aldl.Count(), 1);
    EXPECT_EQ(l.Charts[0].MinRange, 0.0L);
    EXPECT_EQ(l.Charts[0].MaxRange, 1.0L);
}

} // namespace
