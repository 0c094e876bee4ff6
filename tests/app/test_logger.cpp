// The headless logger end to end against the simulated ECM, unpaced so a
// busy machine never cuts a reply short.
#include "decode/WordDecode.h"
#include "definitions/Definition.h"
#include "link/LogFile.h"
#include "tests/definitions/TempDir.h"
#include "tests/support/EcmSim.h"
#include "tools/ecmsim/EngineModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
const std::string kDef = EXAMPLES_DIR "/ecmsim.ald";

// The logger as a child process with its own serial link folder; killed
// and reaped however the test ends.
class Logger {
public:
    Logger(const TempDir& dir, const std::string& configDir, std::vector<std::string> args,
           const std::string& errName = "stderr")
        : err_(dir.File(errName))
    {
        std::vector<std::string> a = {LOGGER_PATH};
        a.insert(a.end(), args.begin(), args.end());
        pid_ = fork();
        if (pid_ == 0) {
            setenv("XDG_CONFIG_HOME", configDir.c_str(), 1);
            const int fd = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, STDERR_FILENO);
            const int null = ::open("/dev/null", O_RDWR);
            dup2(null, STDOUT_FILENO);
            std::vector<char*> argv;
            for (auto& s : a) argv.push_back(s.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Logger()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t Pid() const { return pid_; }
    // Exit status, or -1 when still running after `timeout`.
    int Wait(std::chrono::milliseconds timeout)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (pid_ > 0) {
            int st = 0;
            if (waitpid(pid_, &st, WNOHANG) == pid_) {
                pid_ = -1;
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                break;
            }
            if (std::chrono::steady_clock::now() >= end) return -1;
            std::this_thread::sleep_for(10ms);
        }
        return status_;
    }
    std::string Err() const { return ReadBytes(err_); }
    // CPU seconds used so far (user + system).
    double CpuSeconds() const
    {
        std::istringstream s(ReadBytes("/proc/" + std::to_string(pid_) + "/stat"));
        std::string field;
        double ticks = 0;
        for (int i = 1; i <= 15 && s >> field; ++i)
            if (i == 14 || i == 15) ticks += std::stod(field);
        return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

private:
    std::string err_;
    pid_t pid_ = -1;
    int status_ = -1;
};

std::vector<std::string> Logs(const std::string& dir)
{
    std::vector<std::string> out;
    for (auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".alg") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> Lines(const std::string& file, bool* whole = nullptr)
{
    const std::string text = ReadBytes(file);
    std::vector<std::string> lines;
    std::size_t pos = 0, end;
    while ((end = text.find("\r\n", pos)) != std::string::npos) {
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    if (whole) *whole = pos == text.size();
    return lines;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The serial link folder the logger looks in, pointing COM<n> at `device`.
void PointCom(const std::string& configDir, int com, const std::string& device)
{
    std::filesystem::create_directories(configDir + "/serilink");
    const std::string link = configDir + "/serilink/COM" + std::to_string(com);
    std::error_code ec;
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(device, link);
}

TEST(Logger, WritesTheSimulatorsFramesAndTheWindowDecodesThemAlike)
{
    TempDir dir;
    EcmSim sim({"--seed", "5", "--no-pace"}, 11);
    Logger logger(dir, sim.ConfigDir(), {"--com", "11", "--out", dir.Path(), "--frames", "25", kDef});
    ASSERT_EQ(logger.Wait(20s), 0) << logger.Err();
    const auto logs = Logs(dir.Path());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(std::regex_match(std::filesystem::path(logs[0]).filename().string(),
                                 std::regex(R"(\d{8}-\d{6}\.alg)")));
    bool whole = false;
    const auto lines = Lines(logs[0], &whole);
    EXPECT_TRUE(whole);
    ASSERT_EQ(lines.size(), 25u);

    // Every reply, in order, byte for byte, with stamps that run on.
    TDefinition def;
    std::string error;
    ASSERT_TRUE(LoadDefinitionFile(kDef, def, error));
    TAldl aldl;
    for (const auto& row : def.Words) aldl.Add(row);
    EngineModel model(5);
    std::int32_t lastStamp = -1;
    TFrameResult replayed, live;
    for (const std::string& line : lines) {
        FrameBuffer f{};
        std::int32_t stamp = 0;
        ASSERT_EQ(ParseLogLine(line, f, stamp), 57) << line;
        EXPECT_GT(stamp, lastStamp);
        lastStamp = stamp;
        const std::vector<std::uint8_t> data = model.Data(56);
        FrameBuffer sent{};
        std::fill(sent.begin(), sent.begin() + FrameLast, 0x3F); // as a live exchange leaves it
        std::copy(data.begin(), data.end(), sent.begin());
        sent[56] = f[56];
        ASSERT_TRUE(std::equal(data.begin(), data.end(), f.begin())) << line;
        // What a replay decodes is what the live frame decodes.
        DecodeWords(aldl, f, replayed);
        DecodeWords(aldl, sent, live);
        for (int i = 0; i < aldl.Count(); ++i)
            EXPECT_EQ(replayed.Words[static_cast<std::size_t>(i)].Text, live.Words[static_cast<std::size_t>(i)].Text);
        model.Advance(0.08);
        model.NextFrame();
    }
    EXPECT_NE(logger.Err().find("25 good"), std::string::npos) << logger.Err();
}

TEST(Logger, SigtermLeavesAWholeFileAndASecondLoggerIsRefused)
{
    TempDir dir;
    EcmSim sim({"--no-pace"}, 12);
    Logger first(dir, sim.ConfigDir(), {"--com", "12", "--out", dir.Path(), kDef});
    ASSERT_TRUE(WaitFor([&] { return Logs(dir.Path()).size() == 1 && Lines(Logs(dir.Path())[0]).size() >= 5; }, 15s))
        << first.Err();

    Logger second(dir, sim.ConfigDir(), {"--com", "12", "--out", dir.Path(), kDef}, "stderr2");
    EXPECT_EQ(second.Wait(10s), 1);
    EXPECT_NE(second.Err().find("COM12: "), std::string::npos) << second.Err();
    EXPECT_NE(second.Err().find("busy"), std::string::npos) << second.Err();

    kill(first.Pid(), SIGTERM);
    ASSERT_EQ(first.Wait(10s), 0) << first.Err();
    bool whole = false;
    const auto lines = Lines(Logs(dir.Path())[0], &whole);
    EXPECT_TRUE(whole);
    for (const auto& line : lines) {
        FrameBuffer f{};
        std::int32_t stamp = 0;
        EXPECT_EQ(ParseLogLine(line, f, stamp), 57) << line;
    }
    EXPECT_EQ(Logs(dir.Path()).size(), 1u);
}

TEST(Logger, RotatesFilesWithStampsCarryingOn)
{
    TempDir dir;
    EcmSim sim({"--no-pace"}, 15);
    Logger logger(dir, sim.ConfigDir(), {"--com", "15", "--out", dir.Path(), "--rotate", "0.02", kDef});
    ASSERT_TRUE(WaitFor([&] { return Logs(dir.Path()).size() >= 3; }, 20s)) << logger.Err();
    kill(logger.Pid(), SIGTERM);
    ASSERT_EQ(logger.Wait(10s), 0) << logger.Err();
    // In the order they were written (two in one second get a suffix).
    std::vector<std::vector<std::string>> files;
    for (const auto& log : Logs(dir.Path())) {
        files.push_back(Lines(log));
        EXPECT_FALSE(files.back().empty()) << log;
    }
    auto first = [](const std::vector<std::string>& f) { return f.empty() ? -1L : std::stol(f[0]); };
    std::sort(files.begin(), files.end(), [&](const auto& a, const auto& b) { return first(a) < first(b); });
    std::int32_t last = -1;
    for (const auto& lines : files) {
        for (const auto& line : lines) {
            FrameBuffer f{};
            std::int32_t stamp = 0;
            ParseLogLine(line, f, stamp);
            EXPECT_GT(stamp, last) << line;
            last = stamp;
        }
    }
}

TEST(Logger, WaitsForALostLinkAndLogsOnInTheSameFile)
{
    TempDir dir;
    const std::string config = dir.File("config");
    std::vector<std::string> logs;
    std::size_t before = 0;
    {
        EcmSim first({"--no-pace", "--hangup-after", "8"}, 13);
        PointCom(config, 13, first.Device());
        Logger logger(dir, config, {"--com", "13", "--out", dir.Path(), kDef});
        ASSERT_EQ(first.WaitExit(15000), 0);
        ASSERT_TRUE(WaitFor([&] { return logger.Err().find("waiting for COM13: ") != std::string::npos; }, 10s))
            << logger.Err();
        logs = Logs(dir.Path());
        ASSERT_EQ(logs.size(), 1u);
        before = Lines(logs[0]).size();
        // Eight replies were sent; a busy machine may miss one of them.
        EXPECT_GE(before, 6u);
        EXPECT_LE(before, 8u);

        // Waiting costs next to nothing: well under 5% of a core.
        const double cpu0 = logger.CpuSeconds();
        std::this_thread::sleep_for(2s);
        EXPECT_LT(logger.CpuSeconds() - cpu0, 0.1);
        ASSERT_EQ(logger.Wait(0ms), -1) << logger.Err();

        EcmSim second({"--no-pace"}, 13);
        PointCom(config, 13, second.Device());
        EXPECT_TRUE(WaitFor([&] { return Lines(logs[0]).size() >= before + 5; }, 15s)) << logger.Err();
        kill(logger.Pid(), SIGTERM);
        EXPECT_EQ(logger.Wait(10s), 0);
    }
    EXPECT_EQ(Logs(dir.Path()), logs);
    std::int32_t last = -1;
    std::size_t whole = 0;
    const auto lines = Lines(logs[0]);
    for (const auto& line : lines) {
        FrameBuffer f{};
        std::int32_t stamp = 0;
        const int count = ParseLogLine(line, f, stamp);
        EXPECT_GT(count, 0) << line;
        if (count == 57) ++whole;
        EXPECT_GT(stamp, last); // the stamps carry on across the gap
        last = stamp;
    }
    // A reply cut short on a busy machine is still a frame and is logged,
    // as the window logs it; the rest are whole.
    EXPECT_GE(whole + 2, lines.size());
}

TEST(Logger, MissingPortAtStartIsWaitedFor)
{
    TempDir dir;
    const std::string config = dir.File("config");
    PointCom(config, 14, dir.File("no-such-device"));
    Logger logger(dir, config, {"--com", "14", "--out", dir.Path(), kDef});
    ASSERT_TRUE(WaitFor([&] { return logger.Err().find("waiting for COM14: ") != std::string::npos; }, 10s))
        << logger.Err();
    EXPECT_EQ(logger.Wait(1500ms), -1);
    kill(logger.Pid(), SIGINT);
    EXPECT_EQ(logger.Wait(10s), 0) << logger.Err();
    ASSERT_EQ(Logs(dir.Path()).size(), 1u);
    EXPECT_TRUE(Lines(Logs(dir.Path())[0]).empty());
}

// A start before the cable leaves an open failure in the serial library;
// replies the ECM skips later must not look like a lost link.
TEST(Logger, SkippedRepliesAfterAMissingPortAreNoLoss)
{
    TempDir dir;
    const std::string config = dir.File("config");
    PointCom(config, 16, dir.File("no-such-device"));
    Logger logger(dir, config, {"--com", "16", "--out", dir.Path(), kDef});
    ASSERT_TRUE(WaitFor([&] { return logger.Err().find("waiting for COM16: ") != std::string::npos; }, 10s))
        << logger.Err();
    EcmSim sim({"--no-pace", "--drop", "--fault-every", "5"}, 16);
    PointCom(config, 16, sim.Device());
    // 40 frames cost about eight skipped replies of well under a second
    // each; a run closed and reopened on each would take over ten.
    EXPECT_TRUE(WaitFor([&] { return Logs(dir.Path()).size() == 1 && Lines(Logs(dir.Path())[0]).size() >= 40; }, 6s))
        << logger.Err();
    kill(logger.Pid(), SIGTERM);
    EXPECT_EQ(logger.Wait(10s), 0);
    const std::string err = logger.Err();
    EXPECT_EQ(err.find("waiting for"), err.rfind("waiting for")) << err;
    EXPECT_NE(err.find("COM16 is back"), std::string::npos) << err;
}

TEST(Logger, BadUsageAndFiles)
{
    TempDir dir;
    Logger noDef(dir, dir.Path(), {"--out", dir.Path()});
    EXPECT_EQ(noDef.Wait(10s), 2);
    EXPECT_NE(noDef.Err().find("Usage: diduvuve-logger"), std::string::npos);
    Logger missing(dir, dir.Path(), {dir.File("missing.ald")});
    EXPECT_EQ(missing.Wait(10s), 1);
    EXPECT_EQ(missing.Err(), "diduvuve-logger: " + dir.File("missing.ald") + ": No such file or directory\n");
    Logger badOut(dir, dir.Path(), {"--out", dir.File("nowhere"), kDef});
    EXPECT_EQ(badOut.Wait(10s), 1);
    Logger badRotate(dir, dir.Path(), {"--rotate", "0.001", kDef});
    EXPECT_EQ(badRotate.Wait(10s), 2);
    EXPECT_TRUE(Logs(dir.Path()).empty());
}

} // namespace
