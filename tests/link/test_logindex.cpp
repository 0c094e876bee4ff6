#include "link/LogFile.h"
#include "link/LogIndex.h"
#include "tests/definitions/TempDir.h"

#include <gtest/gtest.h>

namespace {

// Lines as the replay reader sees them: CR LF and lone CR ends, a lone LF
// inside a line, an empty line, a line without comma, a second run whose
// stamps start again, a last line without an end, and all after Ctrl+Z unread.
const char* const kLog = "000100,  1\r\n000150,  2\r000150\n,3\r\n\r\n000400,  4\r\nabc\r\n"
                         "000010,  5\r\n000030,  6\r\n000090,  7\x1a" "000999,9\r\n";

struct Line {
    std::int64_t time;
    std::int32_t stamp;
};
// Times: 0, +50, (a LF in the stamp: 0) +0, (empty: stamp 0, falls) +0, +400, (abc: 0) +0, +10, +20, +60.
const std::vector<Line> kLines{{0, 100}, {50, 150}, {50, 0}, {50, 0}, {450, 400}, {450, 0},
                               {460, 10}, {480, 30}, {540, 90}};

TEST(LogIndex, LinesTimesAndSeeksAgreeWithTheReaderAtAnyReadSize)
{
    TempDir dir;
    const std::string name = dir.File("l.alg");
    WriteBytes(name, kLog);
    for (std::size_t block : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{1} << 20}) {
        TLogIndex index(block);
        ASSERT_TRUE(index.Open(name));
        index.Build();
        ASSERT_EQ(index.Lines(), static_cast<std::int64_t>(kLines.size())) << block;
        EXPECT_EQ(index.TotalMs(), 540);
        TLogReader reader;
        ASSERT_TRUE(reader.Open(name));
        FrameBuffer f{};
        int count = 0;
        std::int32_t stamp = 0;
        for (std::size_t i = 0; i < kLines.size(); ++i) {
            TLogPlace p;
            ASSERT_TRUE(index.SeekLine(static_cast<std::int64_t>(i), p));
            EXPECT_EQ(p.Line, static_cast<std::int64_t>(i));
            EXPECT_EQ(p.Time, kLines[i].time) << i << " block " << block;
            EXPECT_EQ(p.Stamp, kLines[i].stamp) << i;
            ASSERT_TRUE(reader.Seek(p.Pos));
            ASSERT_TRUE(reader.ReadLogLine(f, count, stamp));
            EXPECT_EQ(stamp, kLines[i].stamp) << i;
        }
        EXPECT_FALSE(reader.ReadLogLine(f, count, stamp));
        TLogPlace p;
        ASSERT_TRUE(index.SeekTime(-5, p));
        EXPECT_EQ(p.Line, 0);
        ASSERT_TRUE(index.SeekTime(51, p));
        EXPECT_EQ(p.Line, 4);
        ASSERT_TRUE(index.SeekTime(460, p));
        EXPECT_EQ(p.Line, 6);
        ASSERT_TRUE(index.SeekTime(100000, p));
        EXPECT_EQ(p.Line, 8);
    }
}

TEST(LogIndex, SparseMarksStillFindEveryLine)
{
    TempDir dir;
    const std::string name = dir.File("big.alg");
    {
        TLogWriter w;
        ASSERT_TRUE(w.Create(name));
        FrameBuffer f{};
        for (int i = 0; i < 20000; ++i) w.WriteLogLine(i * 25, f.data(), 1 + i % 40);
    }
    TLogIndex index;
    ASSERT_TRUE(index.Open(name));
    EXPECT_FALSE(index.Step(64 * 1024) && index.Lines() == 20000); // a slice, not the whole file
    index.Build();
    ASSERT_EQ(index.Lines(), 20000);
    EXPECT_LT(index.MemoryBytes(), 20000 * sizeof(TLogPlace) / 100);
    TLogReader reader;
    ASSERT_TRUE(reader.Open(name));
    FrameBuffer f{};
    int count = 0;
    std::int32_t stamp = 0;
    for (std::int64_t line : {0, 1, 255, 256, 257, 9999, 19999}) {
        TLogPlace p;
        ASSERT_TRUE(index.SeekLine(line, p));
        ASSERT_TRUE(reader.Seek(p.Pos));
        ASSERT_TRUE(reader.ReadLogLine(f, count, stamp));
        EXPECT_EQ(count, 1 + line % 40) << line;
        EXPECT_EQ(p.Time, line * 25) << line;
        ASSERT_TRUE(index.SeekTime(line * 25 - 1, p));
        EXPECT_EQ(p.Line, line);
    }
}

} // namespace
