// diduvuve-probe against the simulated car in each of its bus patterns.
#include "definitions/Definition.h"
#include "definitions/Persist.h"
#include "link/LinkSettings.h"
#include "tests/definitions/TempDir.h"
#include "tests/support/EcmSim.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

struct ProbeRun {
    int status = -1;
    std::string out;
    std::string Last() const
    {
        std::string t = out;
        while (!t.empty() && t.back() == '\n') t.pop_back();
        const auto nl = t.rfind('\n');
        return nl == std::string::npos ? t : t.substr(nl + 1);
    }
};

ProbeRun Probe(const std::string& args)
{
    ProbeRun r;
    std::FILE* p = ::popen((std::string(PROBE_PATH) + " " + args + " 2>/dev/null").c_str(), "r");
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

struct Case {
    std::vector<std::string> sim;
    const char* last;
};

TEST(Probe, ReportsEachBusAndItsEcm)
{
    const Case cases[] = {
        {{}, "probe: echo=yes chatter=no heartbeat=none gap=none ecm=F4 reply=56"},
        {{"--no-echo", "--id", "F7", "--data-length", "60"}, "probe: echo=no chatter=no heartbeat=none gap=none ecm=F7 reply=60"},
        {{"--chatter", "vt", "--id", "F5"}, "probe: echo=yes chatter=yes heartbeat=08 55 A3 gap=1"},
        {{"--chatter", "vs", "--id", "F5", "--no-echo"}, "probe: echo=no chatter=yes heartbeat=F1 58 4A 57 42 D4 gap="},
        {{"--chatter", "lt1"}, "probe: echo=yes chatter=yes heartbeat=0A 58 "},
    };
    for (const Case& c : cases) {
        std::vector<std::string> opts = c.sim;
        opts.push_back("--quiet");
        EcmSim sim(opts, 31);
        const ProbeRun r = Probe("--port " + sim.Device() + " --listen 1.5");
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.Last().rfind(c.last, 0), 0u) << r.out;
        if (!c.sim.empty() && c.sim[0] == "--chatter") {
            EXPECT_NE(r.out.find("; let talk again."), std::string::npos) << r.out;
            EXPECT_NE(r.Last().find(c.sim[0] == "--chatter" && c.sim[1] != "lt1" ? "ecm=F5 reply=56" : "ecm=F4 reply=56"),
                      std::string::npos) << r.out;
        }
    }
}

TEST(Probe, WritesWhatItFoundAndRefusesBadUsage)
{
    EXPECT_EQ(Probe("--listen nope").status, 2);
    EXPECT_EQ(Probe("--listen nan").status, 2);
    EXPECT_EQ(Probe("--com 1 --port /dev/null").status, 2);
    EXPECT_EQ(Probe("--frobnicate").status, 2);

    TempDir dir;
    const std::string def = dir.File("car.ald");
    std::filesystem::copy_file(EXAMPLES_DIR "/ecmsim.ald", def);
    EcmSim sim({"--chatter", "vt", "--id", "F5", "--no-echo", "--quiet"}, 32);
    const ProbeRun r = Probe("--port " + sim.Device() + " --listen 1 --write " + def);
    ASSERT_EQ(r.status, 0) << r.out;
    TLxPersist store;
    store.FileName = def;
    ASSERT_TRUE(store.ReloadFile());
    TDefinition d;
    std::string error;
    ASSERT_TRUE(ReadDefinition(store, d, error));
    EXPECT_FALSE(d.EchoOn());
    EXPECT_EQ(d.RequestText().rfind("F5 ", 0), 0u) << d.RequestText();
    const TLinkSettings link = ReadLinkSettings(store);
    EXPECT_EQ(link.Silence, "F1 56 08");
    EXPECT_EQ(link.Resume, "F1 56 09");
    EXPECT_TRUE(link.SkipForeign);
    TDefinition before;
    ASSERT_TRUE(LoadDefinitionFile(EXAMPLES_DIR "/ecmsim.ald", before, error));
    EXPECT_EQ(d.Words, before.Words);
}

TEST(Probe, StoppedBySignalLetsTheBusTalkAgain)
{
    // The body module keeps quiet for a minute once silenced: only the
    // probe's resume request brings it back.
    EcmSim sim({"--chatter", "vt", "--quiet", "--quiet-ms", "60000"}, 33);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::freopen("/dev/null", "w", stdout);
        ::execl(PROBE_PATH, PROBE_PATH, "--port", sim.Device().c_str(), "--listen", "1", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Silenced after its 1 s of listening, still asking F5 and F7 at 2 s.
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << status;

    const int fd = ::open(sim.Device().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    std::size_t heard = 0;
    for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
         heard == 0 && std::chrono::steady_clock::now() < end;) {
        pollfd p{fd, POLLIN, 0};
        char buf[256];
        if (::poll(&p, 1, 100) > 0) heard += std::max<ssize_t>(0, ::read(fd, buf, sizeof buf));
    }
    ::close(fd);
    EXPECT_GT(heard, 0u);
}

} // namespace
