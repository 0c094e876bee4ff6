// Lost-device handling: which failures mean the device is gone, the pacing
// of reopen tries and the pause after failures that take no time.
#include "link/LinkKeeper.h"

#include "decode/Hex.h"
#include "link/AldlExchange.h"
#include "serilink/serilink.h"
#include "tests/support/EcmSim.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char* const HungUp = "Can't read from COM port. Windows error: Input/output error";
const char* const WriteFailed = "Can't write to COM port. Windows error: Input/output error";
const char* const TimedOut = "Can't read from COM port. No data available.";

} // namespace

TEST(LinkKeeper, TellsAGoneDeviceFromAnOrdinaryFailure)
{
    EXPECT_TRUE(LinkKeeper::DeviceGone(-1, SC_ERR_WRITE, WriteFailed));
    EXPECT_TRUE(LinkKeeper::DeviceGone(-3, SC_ERR_READ, HungUp));
    EXPECT_TRUE(LinkKeeper::DeviceGone(-4, SC_ERR_READ, HungUp));
    EXPECT_TRUE(LinkKeeper::DeviceGone(-4, SC_ERR_NOT_INIT, "Com port is not initialised, call scInit() first."));
    // a timeout keeps the old code but carries no system text
    EXPECT_FALSE(LinkKeeper::DeviceGone(-4, SC_ERR_READ, TimedOut));
    EXPECT_FALSE(LinkKeeper::DeviceGone(-1, SC_ERR_READ, TimedOut));
    // a wrong answer proves the device is there, whatever the old error
    EXPECT_FALSE(LinkKeeper::DeviceGone(-2, SC_ERR_READ, HungUp));
    EXPECT_FALSE(LinkKeeper::DeviceGone(-5, SC_ERR_READ, HungUp));
    EXPECT_FALSE(LinkKeeper::DeviceGone(60, SC_ERR_READ, HungUp));
    EXPECT_FALSE(LinkKeeper::DeviceGone(-4, SC_ERR_OPEN, "Can't create connection to com port. Windows error: x"));
    EXPECT_FALSE(LinkKeeper::DeviceGone(-4, 0, nullptr));
}

TEST(LinkKeeper, OneLossOneTryASecondOneReturn)
{
    LinkKeeper k;
    EXPECT_FALSE(k.Exchanged(60, SC_ERR_READ, HungUp, 0, 80)); // a good frame after an old error
    EXPECT_TRUE(k.Exchanged(-4, SC_ERR_READ, "Can't read from COM port. Windows error: gone\r\n", 100, 101));
    EXPECT_EQ(k.LostText(), "Link lost: Can't read from COM port. Windows error: gone");
    EXPECT_TRUE(k.Lost());
    EXPECT_FALSE(k.Exchanged(-4, SC_ERR_READ, HungUp, 102, 103)); // reported once

    EXPECT_FALSE(k.TimeToTry(1000));
    EXPECT_EQ(k.WaitMs(1000), 101);
    EXPECT_TRUE(k.TimeToTry(1101));
    EXPECT_FALSE(k.Opened(false, 1101));
    EXPECT_FALSE(k.TimeToTry(2100));
    EXPECT_EQ(k.WaitMs(1500), 601);
    // a clock that jumps back never asks for more than one retry period
    EXPECT_EQ(k.WaitMs(-50000), 1000);
    EXPECT_TRUE(k.TimeToTry(2101));
    EXPECT_TRUE(k.Opened(true, 2101));
    EXPECT_FALSE(k.Lost());
    EXPECT_EQ(k.WaitMs(2101), 0);
    EXPECT_EQ(LinkKeeper::BackText(), "Link back.");

    EXPECT_TRUE(k.Exchanged(-1, SC_ERR_WRITE, WriteFailed, 2200, 2200));
    k.Reset();
    EXPECT_FALSE(k.Lost());
    EXPECT_TRUE(k.LostText().empty());
}

TEST(LinkKeeper, FailuresThatTakeNoTimeSlowTheLoop)
{
    LinkKeeper k;
    std::int64_t t = 0;
    for (int i = 0; i < 2; ++i, t += 1)
        k.Exchanged(-5, SC_ERR_READ, TimedOut, t, t);
    EXPECT_EQ(k.WaitMs(t), 0);
    // from the third on, a pause that never shrinks and stays within its bound
    int last = 0;
    for (int i = 0; i < 25; ++i) {
        k.Exchanged(-5, SC_ERR_READ, TimedOut, t, t + 1);
        const int wait = k.WaitMs(t);
        EXPECT_GE(wait, std::max(last, 1));
        EXPECT_LE(wait, LinkKeeper::MaxQuickWaitMs);
        last = wait;
    }
    EXPECT_EQ(last, LinkKeeper::MaxQuickWaitMs);
    // one failure that took real time (a timeout) ends the pause, as does a good frame
    k.Exchanged(-4, SC_ERR_READ, TimedOut, t, t + 150);
    EXPECT_EQ(k.WaitMs(t), 0);
    for (int i = 0; i < 5; ++i)
        k.Exchanged(-4, SC_ERR_READ, TimedOut, t, t);
    k.Exchanged(60, 0, "", t, t);
    EXPECT_EQ(k.WaitMs(t), 0);
}

// What the serial library really reports when the simulator hangs up, and
// when it merely stays silent.
TEST(LinkKeeper, RealHangUpIsGoneRealSilenceIsNot)
{
    FrameBuffer f{};
    {
        EcmSim sim({"--drop", "--no-echo"});
        scDone(); // an earlier failure leaves "not initialised" behind
        ASSERT_EQ(scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1"), 0) << scErrText();
        ASSERT_EQ(scTimeOut(20, 10, 50), 0);
        const std::int32_t mark = LinkKeeper::MarkSerialError();
        const int r = AldlExchange("F4 57 01 00", false, f.data(), FrameLast);
        EXPECT_EQ(r, AldlNoHeader);
        EXPECT_EQ(LinkKeeper::SerialErrorSince(mark), 0);
        EXPECT_EQ(scErrCode(), SC_ERR_NOT_INIT); // the old code is back
        EXPECT_FALSE(LinkKeeper::DeviceGone(r, 0, scErrText())) << scErrText();
        scDone();
    }
    EcmSim sim({"--hangup-after", "1"});
    ASSERT_EQ(scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1"), 0) << scErrText();
    ASSERT_EQ(scTimeOut(20, 10, 50), 0);
    EXPECT_GT(AldlExchange("F4 57 01 00", true, f.data(), FrameLast), 0);
    ASSERT_GE(sim.WaitExit(5000), 0);
    for (bool echo : {true, false}) {
        const std::int32_t mark = LinkKeeper::MarkSerialError();
        const int r = AldlExchange("F4 57 01 00", echo, f.data(), FrameLast);
        const std::int32_t code = LinkKeeper::SerialErrorSince(mark);
        EXPECT_TRUE(LinkKeeper::DeviceGone(r, code, scErrText())) << r << " " << scErrText();
    }
    scDone();
}
