#include "serilink/serilink.h"
#include "tests/serilink/PortFixtures.h"
#include "tests/support/EcmSim.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const Mode = "baud=8192 parity=N data=8 stop=1";

std::string Table(int code)
{
    switch (code) {
    case 20000: return "Com port is not initialised, call scInit() first.";
    case 20001: return "Can't read from COM port.";
    case 20003: return "Can't create connection to com port.";
    case 20005: return "Can't read com port settings.";
    case 20007: return "Can't build Device Control Block.";
    }
    return "?";
}

std::string WithSystem(int code, int err)
{
    return Table(code) + " Windows error: " + std::strerror(err);
}

// Releases whatever port a test left held, pass or fail.
struct PortGuard {
    ~PortGuard() { scDone(); }
};

} // namespace

// Runs first: nothing has failed yet in this process.
TEST(SerilinkState, CleanBeforeFirstFailureThenNotInitialised)
{
    EXPECT_EQ(scErrCode(), 0);
    EXPECT_STREQ(scErrText(), "");
    EXPECT_EQ(scErrText(), errText);

    std::uint8_t buf[4] = {1, 2, 3, 4};
    errno = 0;
    EXPECT_EQ(scTimeOut(20, 10, 50), -1);
    EXPECT_EQ(scErrCode(), 20000);
    EXPECT_EQ(std::string(scErrText()), Table(20000)); // errno 0: no system text
    EXPECT_EQ(scRead(buf, 4), -1);
    EXPECT_EQ(errCode, 20000);
    EXPECT_EQ(scWrite(buf, 4), -1);
    EXPECT_EQ(scErrCode(), 20000);
    errno = EBADF;
    EXPECT_EQ(scDone(), -1);
    EXPECT_EQ(std::string(errText), WithSystem(20000, EBADF));
}

TEST(SerilinkChecksum, ExamplesAndEmpty)
{
    std::uint8_t f[6] = {0xF4, 0x57, 0x01, 0x00, 0xEE, 0xEE};
    EXPECT_EQ(scAddChkSum(f, 4), 5);
    EXPECT_EQ(f[4], 0xB4);
    EXPECT_EQ(f[5], 0xEE);
    EXPECT_EQ(scChkSum(f, 5), 1);
    f[4] = 0xB5;
    EXPECT_EQ(scChkSum(f, 5), 0);

    std::uint8_t e[1] = {0x77};
    EXPECT_EQ(scAddChkSum(e, 0), 1);
    EXPECT_EQ(e[0], 0x00);
    EXPECT_EQ(scChkSum(e, 0), 1);

    std::uint8_t wrap[3] = {0xFF, 0xFF, 0};
    scAddChkSum(wrap, 2);
    EXPECT_EQ(wrap[2], 0x02);
}

TEST(SerilinkOpen, MissingDeviceIsNoSuchFile)
{
    TempConfig cfg;
    PortGuard guard;
    // A port with no link, no ttyUSB<n-1> and no ttyS<n-1> on this machine.
    int absent = 9;
    auto exists = [](const std::string& path) { return ::access(path.c_str(), F_OK) == 0; };
    while (exists("/dev/ttyUSB" + std::to_string(absent - 1)) || exists("/dev/ttyS" + std::to_string(absent - 1)))
        ++absent;
    EXPECT_EQ(scInit(absent, Mode), -1);
    EXPECT_EQ(scErrCode(), 20003);
    EXPECT_EQ(std::string(scErrText()), WithSystem(20003, ENOENT));
    EXPECT_EQ(scInit(0, Mode), -1);
    EXPECT_EQ(scErrCode(), 20003);

    // a dangling link is reported, not passed over
    cfg.Link(3, cfg.Dir() + "/gone");
    EXPECT_EQ(scInit(3, Mode), -1);
    EXPECT_EQ(std::string(scErrText()), WithSystem(20003, ENOENT));
    errno = 0;
    EXPECT_EQ(scDone(), -1); // nothing was held
}

TEST(SerilinkOpen, NotATerminalIsSettingsFailureAndStaysHeld)
{
    TempConfig cfg;
    cfg.Link(5, "/dev/null");
    PortGuard guard;
    EXPECT_EQ(scInit(5, Mode), -1);
    EXPECT_EQ(scErrCode(), 20005);
    EXPECT_EQ(std::string(scErrText()), WithSystem(20005, ENOTTY));
    EXPECT_EQ(scDone(), 0); // the failed set-up leaves the device held
}

TEST(SerilinkOpen, SecondOpenerIsRefused)
{
    EcmSim sim;
    PortGuard guard;
    ASSERT_EQ(scInit(sim.Com(), Mode), 0) << scErrText();
    pid_t child = fork();
    if (child == 0) {
        int rc = scInit(sim.Com(), Mode);
        bool ok = rc == -1 && scErrCode() == 20003
                  && std::string(scErrText()) == WithSystem(20003, EBUSY);
        _exit(ok ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int st = 0;
    ASSERT_EQ(waitpid(child, &st, 0), child);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    EXPECT_EQ(scDone(), 0);
    errno = EBADF;
    EXPECT_EQ(scDone(), -1);
    EXPECT_EQ(scErrCode(), 20000);
    EXPECT_EQ(std::string(scErrText()), WithSystem(20000, EBADF));
}

TEST(SerilinkOpen, ReinitClosesTheHeldPort)
{
    EcmSim sim;
    PortGuard guard;
    ASSERT_EQ(scInit(sim.Com(), Mode), 0) << scErrText();
    const int fds = OpenFdCount();
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(scInit(sim.Com(), Mode), 0) << scErrText();
    EXPECT_EQ(OpenFdCount(), fds);
    EXPECT_EQ(scDone(), 0);
    EXPECT_EQ(OpenFdCount(), fds - 1);
}

TEST(SerilinkMode, AcceptedFormsSetTheLine)
{
    EcmSim sim;
    PortGuard guard;
    for (const char* mode : {"baud=8192 parity=N data=8 stop=1", "8192,n,8,1", "COM1: 8192,N,8,1",
                             "COM1:baud=8192 parity=n data=8 stop=1 dtr=on rts=off to=off",
                             " BAUD=8192  Parity=N ", "8192"}) {
        ASSERT_EQ(scInit(sim.Com(), mode), 0) << mode << ": " << scErrText();
        EXPECT_EQ(ProbeHeldSpeed(sim.Device().c_str()), 8192) << mode;
    }
    ASSERT_EQ(scInit(sim.Com(), "baud=9600"), 0);
    EXPECT_EQ(ProbeHeldSpeed(sim.Device().c_str()), 9600);
}

TEST(SerilinkMode, RefusedForms)
{
    EcmSim sim;
    PortGuard guard;
    for (const char* mode : {"", "baud=", "baud=8192 parity=X", "8192,n,9,1", "8192,n,8,3",
                             "fast", "baud=8192 junk", "baud=8192 speed=1", "8192;n;8;1",
                             "0,n,8,1", "8192,n,8,1,q", "baud=99999999999"}) {
        errno = 0;
        ASSERT_EQ(scInit(sim.Com(), mode), -1) << mode;
        EXPECT_EQ(scErrCode(), 20007) << mode;
        EXPECT_EQ(std::string(scErrText()), WithSystem(20007, EINVAL)) << mode;
        EXPECT_EQ(scDone(), 0) << mode; // a parse failure leaves the port held
    }
    // too long for the mode text: refused before anything is opened
    std::string longMode = std::string(Mode) + std::string(128, ' ');
    EXPECT_EQ(scInit(sim.Com(), longMode.c_str()), -1);
    EXPECT_EQ(scErrCode(), 20007);
    EXPECT_EQ(scDone(), -1);
    EXPECT_EQ(scInit(sim.Com(), nullptr), -1);
    EXPECT_EQ(scErrCode(), 20007);
    // 127 characters still fit
    std::string fits = std::string(Mode) + std::string(127 - std::strlen(Mode), ' ');
    EXPECT_EQ(scInit(sim.Com(), fits.c_str()), 0) << scErrText();
}

TEST(SerilinkIo, EchoRoundTripAndZeroByteRead)
{
    EcmSim sim({"--no-pace"});
    PortGuard guard;
    ASSERT_EQ(scInit(sim.Com(), Mode), 0) << scErrText();
    ASSERT_EQ(scTimeOut(20, 10, 50), 0);
    // a frame for another ID: echoed, never answered
    std::uint8_t req[8] = {0xE4, 0x57, 0x01, 0x00};
    ASSERT_EQ(scAddChkSum(req, 4), 5);
    ASSERT_EQ(scWrite(req, 5), 5);
    std::uint8_t back[16] = {};
    ASSERT_EQ(scRead(back, 16), 5);
    EXPECT_EQ(std::memcmp(back, req, 5), 0);

    const int before = scErrCode();
    EXPECT_EQ(scRead(back, 0), -1);
    EXPECT_EQ(std::string(scErrText()), Table(20001) + " No data available.");
    EXPECT_EQ(scErrCode(), before);
    EXPECT_EQ(scWrite(req, 0), 0);
}

TEST(SerilinkIo, HangUpIsAReadFailureNotEndlessEmptyReads)
{
    EcmSim sim({"--hangup-after", "1"});
    PortGuard guard;
    ASSERT_EQ(scInit(sim.Com(), Mode), 0) << scErrText();
    ASSERT_EQ(scTimeOut(20, 10, 50), 0);
    std::uint8_t req[8] = {0xF4, 0x57, 0x01, 0x00};
    ASSERT_EQ(scWrite(req, static_cast<std::uint32_t>(scAddChkSum(req, 4))), 5);
    std::uint8_t buf[128];
    ASSERT_EQ(scRead(buf, 5), 5);     // echo
    ASSERT_EQ(scRead(buf, 60), 60);   // the whole reply arrives before the hang-up
    EXPECT_EQ(scChkSum(buf, 60), 1);
    EXPECT_EQ(sim.WaitExit(3000), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(scRead(buf, 3), -1);
        EXPECT_EQ(scErrCode(), 20001);
        EXPECT_EQ(std::string(scErrText()), WithSystem(20001, EIO));
    }
    EXPECT_EQ(scWrite(req, 5), -1);
    EXPECT_EQ(scErrCode(), 20002);
}
