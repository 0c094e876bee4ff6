// Exchanges against the simulated ECM, one fault at a time.
#include "decode/Hex.h"
#include "link/AldlExchange.h"
#include "serilink/serilink.h"
#include "tests/support/EcmSim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string Request = "F4 57 01 00";

// An open port on a fresh simulator with the main program's timeouts.
class Exchange {
public:
    // Unpaced unless asked: the faults do not depend on the line's speed.
    static std::vector<std::string> With(std::vector<std::string> options, bool paced)
    {
        if (!paced)
            options.push_back("--no-pace");
        return options;
    }
    explicit Exchange(std::vector<std::string> options, bool paced = false)
        : sim_(With(std::move(options), paced))
    {
        if (scInit(sim_.Com(), "baud=8192 parity=N data=8 stop=1") != 0
            || scTimeOut(20, 10, 50) != 0)
            ADD_FAILURE() << "port: " << scErrText();
        frame_.fill(0xAA);
    }
    ~Exchange() { scDone(); }
    int Run(const std::string& request = Request, bool echo = true)
    {
        return AldlExchange(request, echo, frame_.data(), FrameLast);
    }
    FrameBuffer frame_;

private:
    EcmSim sim_;
};

} // namespace

TEST(AldlExchange, GoodReplyFillsTheFrame)
{
    Exchange x({}, true);
    ASSERT_EQ(x.Run(), 57);
    EXPECT_EQ(x.frame_[0] * 256 + x.frame_[1], 3127); // PROM ID: the header is not kept
    EXPECT_EQ(x.frame_[18], 0);                       // frame counter
    for (int i = 57; i < 128; ++i)
        ASSERT_EQ(x.frame_[i], 0x3F) << i;
    EXPECT_EQ(x.frame_[128], 0xAA);
    ASSERT_EQ(x.Run("F4,57,01,00"), 57);
    EXPECT_EQ(x.frame_[18], 1);
}

TEST(AldlExchange, WithoutEcho)
{
    {
        Exchange x({"--no-echo"});
        EXPECT_EQ(x.Run(Request, false), 57);
        EXPECT_EQ(x.Run(Request, true), AldlEchoDiffers); // the reply is taken for the echo
    }
    {
        Exchange x({"--no-echo", "--drop"});
        EXPECT_EQ(x.Run(Request, true), AldlNoEcho);
    }
}

TEST(AldlExchange, EchoFaults)
{
    {
        Exchange x({"--wrong-echo"});
        EXPECT_EQ(x.Run(), AldlEchoDiffers);
    }
    {
        // 3 of 5 echo bytes, then a pause past the 20 ms gap: no comparison
        Exchange x({"--short-echo", "3", "--reply-delay", "40"});
        EXPECT_EQ(x.Run(), 57);
        EXPECT_EQ(x.frame_[0] * 256 + x.frame_[1], 3127);
    }
}

TEST(AldlExchange, HeaderAndLengthFaults)
{
    {
        Exchange x({"--drop"});
        EXPECT_EQ(x.Run(), AldlNoHeader);
    }
    {
        Exchange x({"--short", "0", "--length-byte", "84", "--fault-every", "2"});
        EXPECT_EQ(x.Run(), 57);
        EXPECT_EQ(x.Run(), AldlBadLength);
    }
    {
        Exchange x({"--length-byte", "213"});
        EXPECT_EQ(x.Run(), AldlBadLength);
    }
    {
        Exchange x({"--length-byte", "85"}); // empty body: a read of no bytes
        EXPECT_EQ(x.Run(), AldlLinkFailed);
        EXPECT_STREQ(scErrText(), "Can't read from COM port. No data available.");
    }
    {
        Exchange x({"--data-length", "126"}); // length byte 212
        EXPECT_EQ(x.Run(), 127);
        EXPECT_EQ(x.frame_[128], 0xAA);
    }
}

// A reply that went wrong must not leave its bytes to be read as the next echo.
TEST(AldlExchange, NextExchangeIsBackInStepAfterAFault)
{
    for (auto fault : std::vector<std::vector<std::string>>{
             {"--length-byte", "84"}, {"--length-byte", "85"}, {"--wrong-echo"}, {"--garbage", "7"}}) {
        fault.insert(fault.end(), {"--fault-every", "2"});
        Exchange x(fault, true);
        ASSERT_EQ(x.Run(), 57) << fault[0];
        EXPECT_LT(x.Run(), 0) << fault[0];
        EXPECT_EQ(x.Run(), 57) << fault[0];
        EXPECT_EQ(x.frame_[18], 2) << fault[0]; // the third reply, not leftovers of the second
    }
}

TEST(AldlExchange, ShortBodies)
{
    {
        Exchange x({"--short", "10"});
        EXPECT_EQ(x.Run(), 10); // the smaller count, not a failure
        EXPECT_EQ(x.frame_[10], 0x3F);
    }
    {
        Exchange x({"--short", "0"});
        EXPECT_EQ(x.Run(), AldlLinkFailed);
    }
}

TEST(AldlExchange, HangUpMidRun)
{
    Exchange x({"--hangup-after", "2"}, true);
    EXPECT_EQ(x.Run(), 57);
    EXPECT_EQ(x.Run(), 57);
    const int r = x.Run();
    EXPECT_TRUE(r == AldlLinkFailed || r == AldlNoEcho) << r;
    EXPECT_EQ(x.Run(), AldlLinkFailed); // the write fails now, no endless retries
    EXPECT_EQ(scErrCode(), 20002);
}

TEST(AldlExchange, NoPortIsALinkFailure)
{
    scDone();
    FrameBuffer f{};
    EXPECT_EQ(AldlExchange(Request, true, f.data(), FrameLast), AldlLinkFailed);
    EXPECT_EQ(scErrCode(), 20000);
}
