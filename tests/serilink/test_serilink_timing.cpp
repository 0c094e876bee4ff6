// Timeouts measured on the line; windows are generous, the machine is shared.
#include "serilink/serilink.h"
#include "tests/support/EcmSim.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t0)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

struct PortGuard {
    ~PortGuard() { scDone(); }
};

} // namespace

TEST(SerilinkTiming, TotalTimeoutWithNothingArriving)
{
    EcmSim sim;
    PortGuard guard;
    ASSERT_EQ(scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1"), 0) << scErrText();
    ASSERT_EQ(scTimeOut(20, 10, 50), 0);
    std::uint8_t buf[8];
    auto t0 = Clock::now();
    EXPECT_EQ(scRead(buf, 3), -1); // 10 ms x 3 + 50 ms
    const long long ms = MsSince(t0);
    EXPECT_GE(ms, 60);
    EXPECT_LE(ms, 400);
    EXPECT_STREQ(scErrText(), "Can't read from COM port. No data available.");
}

TEST(SerilinkTiming, IntervalEndsTheReadAfterTheLastByte)
{
    EcmSim sim; // paced at 8192 baud
    PortGuard guard;
    ASSERT_EQ(scInit(sim.Com(), "8192,n,8,1"), 0) << scErrText();
    // a wide gap keeps a busy machine from ending the read early
    ASSERT_EQ(scTimeOut(100, 10, 50), 0);
    std::uint8_t req[8] = {0xF4, 0x57, 0x01, 0x00};
    ASSERT_EQ(scWrite(req, static_cast<std::uint32_t>(scAddChkSum(req, 4))), 5);
    std::uint8_t buf[200];
    auto t0 = Clock::now();
    // 65 bytes come paced (about 80 ms); the total alone would wait 2,050 ms
    EXPECT_EQ(scRead(buf, 200), 65);
    const long long ms = MsSince(t0);
    EXPECT_GE(ms, 60);
    EXPECT_LE(ms, 1200);
}
