#include "link/LogFile.h"

#include "decode/Errors.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TempDir {
    std::string path;
    TempDir()
    {
        const char* t = std::getenv("TMPDIR");
        std::string tmpl = std::string(t && *t ? t : "/tmp") + "/logfile-XXXXXX";
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path = tmpl;
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string File(const std::string& n) const { return path + "/" + n; }
};

void Put(const std::string& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string Get(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Frame {
    std::int32_t stamp;
    std::vector<int> bytes;
    bool operator==(const Frame&) const = default;
};

std::vector<Frame> ReadAll(const std::string& file)
{
    TLogReader r;
    EXPECT_TRUE(r.Open(file));
    std::vector<Frame> out;
    FrameBuffer buf{};
    int count = -1;
    std::int32_t stamp = -1;
    while (r.ReadLogLine(buf, count, stamp)) out.push_back({stamp, std::vector<int>(buf.begin(), buf.begin() + count)});
    return out;
}

std::vector<Frame> ReadText(const std::string& bytes)
{
    TempDir d;
    Put(d.File("x.alg"), bytes);
    return ReadAll(d.File("x.alg"));
}

TEST(LogLine, FormatAndParse)
{
    const std::uint8_t b[] = {1, 23, 255};
    EXPECT_EQ(FormatLogLine(1234, b, 3), "001234,  1, 23,255");
    EXPECT_EQ(FormatLogLine(1234, b, 0), "001234,");
    EXPECT_EQ(FormatLogLine(12345678, b, 1), "12345678,  1");
    EXPECT_EQ(FormatLogLine(-5, b, 1), "-000005,  1");
    EXPECT_THROW(FormatLogLine(0, b, -1), ERangeError);

    FrameBuffer buf{};
    std::int32_t stamp = 0;
    EXPECT_EQ(ParseLogLine("001234,  1, 23,255", buf, stamp), 3);
    EXPECT_EQ(stamp, 1234);
    EXPECT_EQ(buf[0], 0x01);
    EXPECT_EQ(buf[1], 0x17);
    EXPECT_EQ(buf[2], 0xFF);
    EXPECT_EQ(ParseLogLine("-000005,7", buf, stamp), 1);
    EXPECT_EQ(stamp, -5);
    EXPECT_EQ(ParseLogLine("4 5 6", buf, stamp), 3) << "no comma: the whole line is the list";
    EXPECT_EQ(stamp, 0);
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(ParseLogLine("abc,1,2", buf, stamp), 2);
    EXPECT_EQ(stamp, 0);
    EXPECT_EQ(ParseLogLine(",9", buf, stamp), 1);
    EXPECT_EQ(stamp, 0);
    EXPECT_EQ(ParseLogLine("1,x,256,511,-1,99999999999", buf, stamp), 5);
    EXPECT_EQ((std::vector<int>(buf.begin(), buf.begin() + 5)), (std::vector<int>{0, 0, 255, 255, 0}));
}

TEST(LogLine, ListIsCutToTheBuffer)
{
    FrameBuffer buf{};
    std::int32_t stamp = 0;
    // 200 commas make 201 empty items within the cut.
    std::string line = "1," + std::string(200, ',');
    EXPECT_EQ(ParseLogLine(line, buf, stamp), FrameLast + 1);
    // A hostile list is cut at 516 characters, past the writer's longest.
    const std::string pad(4 * 128, ' ');
    EXPECT_EQ(ParseLogLine("7," + pad + ",1,2,3", buf, stamp), 3) << "cut at 516 characters";
    EXPECT_EQ(buf[1], 1);
    EXPECT_EQ(buf[2], 2);
}

TEST(LogFile, WriteThenRead)
{
    TempDir d;
    std::string file = d.File("run.alg");
    FrameBuffer f{};
    for (int i = 0; i <= FrameLast; ++i) f[i] = static_cast<std::uint8_t>(i * 7 + 3);
    {
        TLogWriter w;
        ASSERT_TRUE(w.Create(file));
        EXPECT_EQ(w.Name(), file);
        for (int n : {0, 1, 64, 70, FrameLast + 1}) w.WriteLogLine(n * 1000, f.data(), n);
        w.WriteLogLine(-86399999, f.data(), 2);
        // The longest line the writer can make: every byte three digits wide.
        const FrameBuffer full = [] { FrameBuffer b; b.fill(255); return b; }();
        w.WriteLogLine(INT32_MIN, full.data(), FrameLast + 1);
        EXPECT_THROW(w.WriteLogLine(0, f.data(), FrameLast + 2), ERangeError);
    } // closed by the destructor
    auto got = ReadAll(file);
    ASSERT_EQ(got.size(), 7u);
    const int written[] = {0, 1, 64, 70, FrameLast + 1};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(got[i], (Frame{written[i] * 1000, std::vector<int>(f.begin(), f.begin() + written[i])}));
    EXPECT_EQ(got[5].stamp, -86399999);
    EXPECT_EQ(got[6], (Frame{INT32_MIN, std::vector<int>(FrameLast + 1, 255)})) << "no tail is lost";
    EXPECT_EQ(Get(file).substr(0, 12), "000000,\r\n001");

    TLogWriter w;
    ASSERT_TRUE(w.Create(file)) << "creating empties the file";
    w.Close();
    EXPECT_FALSE(w.IsOpen());
    EXPECT_EQ(w.Name(), "");
    EXPECT_TRUE(ReadAll(file).empty()) << "an empty log replays nothing";
}

TEST(LogFile, LineEnds)
{
    EXPECT_EQ(ReadText("1,2\r3,4\r\n5,6"), (std::vector<Frame>{{1, {2}}, {3, {4}}, {5, {6}}}));
    EXPECT_EQ(ReadText("1,2\n3\r\n"), (std::vector<Frame>{{1, {2, 3}}})) << "a lone LF is a blank";
    EXPECT_EQ(ReadText("1,2\r\n\r\n3,4\r\n"), (std::vector<Frame>{{1, {2}}, {0, {}}, {3, {4}}}));
    EXPECT_EQ(ReadText("1,2\r\n3,4\x1a\r\n5,6\r\n"), (std::vector<Frame>{{1, {2}}, {3, {4}}}));
    EXPECT_EQ(ReadText("1,2\r\n\x1a"), (std::vector<Frame>{{1, {2}}}));
    EXPECT_TRUE(ReadText("").empty());
    EXPECT_TRUE(ReadText("\x1a" "1,2\r\n").empty());
    // A CR LF split across the reader's buffer refill.
    std::string big(64 * 1024 - 1, ' ');
    big[0] = '9';
    big[1] = ',';
    EXPECT_EQ(ReadText(big + "\r\n8,1"), (std::vector<Frame>{{9, {}}, {8, {1}}}));
    // A huge stamp text is not kept whole and reads as 0.
    EXPECT_EQ(ReadText(std::string(100000, '7') + ",5\r\n"), (std::vector<Frame>{{0, {5}}}));
}

TEST(LogFile, AGigabyteLineWithoutAnEndReadsInBoundedMemory)
{
    TempDir d;
    const std::string name = d.File("huge.alg");
    Put(name, "000001,  1,  2\r\n");
    // Sparse: a gigabyte of NUL with no line end, then two good lines.
    const off_t hole = off_t{1} << 30;
    ASSERT_EQ(::truncate(name.c_str(), hole), 0);
    std::ofstream(name, std::ios::binary | std::ios::app) << "\r\n000002,  3\r\n000003,  4\r\n";
    struct rusage before {}, after {};
    ::getrusage(RUSAGE_SELF, &before);
    TLogReader r;
    ASSERT_TRUE(r.Open(name));
    std::vector<Frame> got;
    FrameBuffer buf{};
    int count = 0;
    std::int32_t stamp = 0;
    while (r.ReadLogLine(buf, count, stamp)) got.push_back({stamp, std::vector<int>(buf.begin(), buf.begin() + count)});
    ::getrusage(RUSAGE_SELF, &after);
    // The NUL line is one frame of one unreadable item; nothing after it is lost.
    EXPECT_EQ(got, (std::vector<Frame>{{1, {1, 2}}, {0, {0}}, {2, {3}}, {3, {4}}}));
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "kilobytes; the line is never held whole";
}

TEST(LogFile, OpenFailures)
{
    TempDir d;
    TLogReader r;
    EXPECT_FALSE(r.Open(d.File("missing.alg")));
    EXPECT_FALSE(r.Open(d.path)) << "a directory";
    EXPECT_FALSE(r.IsOpen());
    FrameBuffer buf{};
    int count = 0;
    std::int32_t stamp = 0;
    EXPECT_FALSE(r.ReadLogLine(buf, count, stamp));
    TLogWriter w;
    EXPECT_FALSE(w.Create(d.File("no/such/dir.alg")));
    EXPECT_FALSE(w.IsOpen());
    EXPECT_THROW(w.WriteLogLine(0, buf.data(), 1), EInOutError);
}

TEST(LogFile, FullDiskRaisesAndKeepsGoing)
{
    TLogWriter w;
    ASSERT_TRUE(w.Create("/dev/full"));
    FrameBuffer f{};
    EXPECT_THROW(w.WriteLogLine(1, f.data(), 10), EInOutError);
    EXPECT_TRUE(w.IsOpen());
    EXPECT_EQ(w.Name(), "/dev/full");
    EXPECT_THROW(w.WriteLogLine(2, f.data(), 10), EInOutError);
    w.Close();
    EXPECT_FALSE(w.IsOpen());
}

// A file that cannot grow past a limit: the failing line is taken back.
TEST(LogFile, FailedLineLeavesWholeLines)
{
    TempDir d;
    std::string file = d.File("full.alg");
    struct Limit {
        rlimit old{};
        void (*handler)(int);
        Limit() : handler(std::signal(SIGXFSZ, SIG_IGN))
        {
            ::getrlimit(RLIMIT_FSIZE, &old);
            rlimit r = old;
            r.rlim_cur = 1000;
            ::setrlimit(RLIMIT_FSIZE, &r);
        }
        ~Limit()
        {
            ::setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, handler);
        }
    };
    FrameBuffer f{};
    int written = 0;
    {
        TLogWriter w;
        ASSERT_TRUE(w.Create(file));
        Limit limit;
        try {
            for (; written < 10; ++written) w.WriteLogLine(written, f.data(), 60); // 248 bytes a line
        } catch (const EInOutError& e) {
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos);
        }
    }
    EXPECT_EQ(written, 4);
    EXPECT_EQ(Get(file).size(), 4u * 248u);
    EXPECT_EQ(ReadAll(file).size(), 4u);
}

// Fork a child that logs and reports each line through a pipe, kill it
// hard, and find every reported line in the file.
TEST(LogFile, LinesSurviveKill)
{
    TempDir d;
    std::string file = d.File("kill.alg");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    struct Guard {
        int fds[2];
        pid_t pid = -1;
        ~Guard()
        {
            if (pid > 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
            ::close(fds[0]);
            if (fds[1] >= 0) ::close(fds[1]);
        }
    } g{{fds[0], fds[1]}};
    g.pid = ::fork();
    ASSERT_GE(g.pid, 0);
    if (g.pid == 0) {
        ::alarm(20); // never outlive a broken parent
        TLogWriter w;
        if (!w.Create(file)) ::_exit(1);
        FrameBuffer f{};
        for (int i = 0;; ++i) {
            f[0] = static_cast<std::uint8_t>(i);
            w.WriteLogLine(i, f.data(), 60);
            char c = 1;
            if (::write(fds[1], &c, 1) != 1) ::_exit(2);
            if (i >= 50) ::pause();
        }
    }
    ::close(g.fds[1]);
    g.fds[1] = -1;
    int reported = 0;
    char c;
    while (reported < 25 && ::read(g.fds[0], &c, 1) == 1) ++reported;
    ASSERT_EQ(reported, 25);
    ::kill(g.pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(g.pid, &status, 0), g.pid);
    g.pid = -1;
    ASSERT_TRUE(WIFSIGNALED(status));
    auto got = ReadAll(file);
    ASSERT_GE(got.size(), 25u);
    // The kill may land while a line crosses a page of the file: that one
    // line (the frame being written) may be cut, and only as the very last.
    const std::size_t whole = got.back().bytes.size() == 60u ? got.size() : got.size() - 1;
    ASSERT_GE(whole, 25u);
    for (std::size_t i = 0; i < whole; ++i) {
        EXPECT_EQ(got[i].stamp, static_cast<std::int32_t>(i));
        ASSERT_EQ(got[i].bytes.size(), 60u);
        EXPECT_EQ(got[i].bytes[0], static_cast<int>(i));
    }
}

TEST(LogCommands, StartLogging)
{
    TempDir d;
    std::string file = d.File("rec.alg");
    ScriptedDialogs dlg;
    TLogWriter w;
    dlg.QueueFile(std::nullopt);
    EXPECT_FALSE(StartLogging(w));
    EXPECT_EQ(dlg.asked.at(0).text, "ALDL log file|*.alg");
    EXPECT_EQ(dlg.asked.at(0).caption, "alg");

    dlg.QueueFile(file);
    EXPECT_TRUE(StartLogging(w)) << "a new file asks nothing";
    EXPECT_EQ(w.Name(), file);
    EXPECT_TRUE(dlg.Messages().empty());
    w.Close();

    Put(file, "keep me\r\n");
    dlg.QueueFile(file);
    dlg.QueueAnswer(MsgAnswer::No);
    EXPECT_FALSE(StartLogging(w));
    EXPECT_FALSE(w.IsOpen());
    EXPECT_EQ(Get(file), "keep me\r\n");
    EXPECT_EQ(dlg.asked.back().text, "File " + file + " already exists. Do you want to replace it?");
    EXPECT_EQ(dlg.asked.back().caption, "Log file...");
    EXPECT_EQ(dlg.asked.back().buttons, MsgButtons::YesNo);

    dlg.QueueFile(file);
    dlg.QueueAnswer(MsgAnswer::Yes);
    EXPECT_TRUE(StartLogging(w));
    EXPECT_EQ(Get(file), "");
    w.Close();

    dlg.QueueFile(d.File("gone/x.alg"));
    EXPECT_FALSE(StartLogging(w));
    EXPECT_EQ(dlg.Messages().back(), "Can't create file " + d.File("gone/x.alg"));
    EXPECT_TRUE(dlg.unexpected.empty());
    EXPECT_TRUE(dlg.ScriptUsedUp());
}

TEST(LogCommands, SetPlayFile)
{
    TempDir d;
    Put(d.File("a.alg"), "5,1\r\n");
    ScriptedDialogs dlg;
    TLogReader r;
    dlg.QueueFile(d.File("a.alg"));
    ASSERT_TRUE(SetPlayFile(r));
    EXPECT_EQ(dlg.asked.at(0).text, "ALDL log file|*.alg");
    EXPECT_EQ(r.Name(), d.File("a.alg"));

    dlg.QueueFile(std::nullopt);
    EXPECT_FALSE(SetPlayFile(r));
    EXPECT_FALSE(r.IsOpen()) << "the previous file is closed first";
    EXPECT_EQ(r.Name(), "");

    dlg.QueueFile(d.File("none.alg"));
    EXPECT_FALSE(SetPlayFile(r));
    EXPECT_EQ(dlg.asked.back().text, "Can't open file " + d.File("none.alg"));
    EXPECT_EQ(dlg.asked.back().caption, "Replay file...");
    EXPECT_EQ(dlg.asked.back().buttons, MsgButtons::Ok);
    EXPECT_TRUE(dlg.unexpected.empty());
}

} // namespace
