#include "serilink/serilink.h"
#include "tests/support/EcmSim.h"
#include "tools/ecmsim/EngineModel.h"
#include "tools/ecmsim/Protocol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

std::vector<std::uint8_t> Framed(std::vector<std::uint8_t> bytes)
{
    bytes.push_back(ChecksumOf(bytes.data(), bytes.size()));
    return bytes;
}

struct PortGuard {
    ~PortGuard() { scDone(); }
};

} // namespace

TEST(EcmSimProtocol, ParserFindsFramesAndChecksThem)
{
    RequestParser p;
    const auto good = Framed({0xF4, 0x57, 0x01, 0x00});
    FedByte last;
    for (std::size_t i = 0; i < good.size(); ++i) {
        last = p.Feed(good[i], 0);
        EXPECT_EQ(last.position, static_cast<int>(i));
        EXPECT_EQ(last.complete, i + 1 == good.size());
    }
    EXPECT_TRUE(last.good);
    EXPECT_EQ(last.frame, good);

    auto bad = good;
    bad.back() ^= 1;
    for (auto b : bad)
        last = p.Feed(b, 10);
    EXPECT_TRUE(last.complete);
    EXPECT_FALSE(last.good);

    // a stray byte with a length below 0x55 behind it is skipped
    p.Feed(0x12, 20);
    for (auto b : good)
        last = p.Feed(b, 20);
    EXPECT_TRUE(last.good);

    // a frame left half done goes stale
    p.Feed(0xF4, 30);
    p.Feed(0x57, 30);
    for (auto b : good)
        last = p.Feed(b, 30 + RequestParser::StaleMs + 1);
    EXPECT_TRUE(last.good);
    EXPECT_EQ(last.frame, good);
}

TEST(EcmSimProtocol, ReplySumsToZero)
{
    const auto r = BuildReply(0xF4, 1, std::vector<std::uint8_t>(56, 0x5A));
    ASSERT_EQ(r.size(), 60u);
    EXPECT_EQ(r[1], 0x55 + 57);
    EXPECT_EQ(r[2], 1);
    EXPECT_EQ(ChecksumOf(r.data(), r.size()), 0);
    const auto ack = BuildReply(0xF4, 8, {});
    EXPECT_EQ(ack, Framed({0xF4, 0x56, 0x08}));
}

TEST(EcmSimModel, RepeatableSmoothAndInRange)
{
    EngineModel a(7), b(7), c(8);
    bool differs = false;
    for (int i = 0; i < 3000; ++i) { // four minutes of model time
        const EngineState before = a.State();
        a.Advance(0.08);
        b.Advance(0.08);
        c.Advance(0.08);
        const EngineState& e = a.State();
        ASSERT_EQ(a.Data(56), b.Data(56));
        differs = differs || a.Data(56) != c.Data(56);
        EXPECT_LT(std::fabs(e.rpm - before.rpm), 400) << i;
        EXPECT_LT(std::fabs(e.coolant - before.coolant), 1) << i;
        EXPECT_GE(e.rpm, 600);
        EXPECT_LE(e.rpm, 7000);
        EXPECT_GE(e.tps, 0);
        EXPECT_LE(e.tps, 100);
        EXPECT_GE(e.o2, 0);
        EXPECT_LE(e.o2, 1.1);
    }
    EXPECT_TRUE(differs);
    EXPECT_GT(a.State().coolant, 80); // warmed up
    EXPECT_EQ(a.Data(20).size(), 20u);
    EXPECT_EQ(a.Data(126).size(), 126u);
}

TEST(EcmSimLine, AnswersModeOneAcknowledgesOthersIgnoresBadFrames)
{
    EcmSim sim({"--no-pace", "--seed", "3"});
    PortGuard guard;
    ASSERT_EQ(scInit(sim.Com(), "8192,n,8,1"), 0) << scErrText();
    ASSERT_EQ(scTimeOut(20, 10, 50), 0);
    std::uint8_t buf[256];

    auto req = Framed({0xF4, 0x57, 0x01, 0x00});
    ASSERT_EQ(scWrite(req.data(), 5), 5);
    ASSERT_EQ(scRead(buf, 65), 65);
    EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 5), req);
    EXPECT_EQ(buf[5], 0xF4);
    EXPECT_EQ(buf[6], 0x55 + 57);
    EXPECT_EQ(buf[7], 0x01);
    EXPECT_EQ(buf[8] * 256 + buf[9], 3127);  // PROM ID
    EXPECT_EQ(buf[5 + 3 + 18], 0);           // frame counter of the first reply
    EXPECT_EQ(scChkSum(buf + 5, 60), 1);

    req = Framed({0xF4, 0x56, 0x08});
    ASSERT_EQ(scWrite(req.data(), 4), 4);
    ASSERT_EQ(scRead(buf, 64), 8);
    EXPECT_EQ(std::vector<std::uint8_t>(buf + 4, buf + 8), Framed({0xF4, 0x56, 0x08}));

    req = Framed({0xF4, 0x57, 0x01, 0x00});
    req.back() ^= 0x10;
    ASSERT_EQ(scWrite(req.data(), 5), 5);
    EXPECT_EQ(scRead(buf, 64), 5); // only the echo
}

TEST(EcmSimLine, FaultEveryAndGarbage)
{
    EcmSim sim({"--no-pace", "--garbage", "4", "--fault-every", "2"});
    PortGuard guard;
    ASSERT_EQ(scInit(sim.Com(), "8192,n,8,1"), 0) << scErrText();
    ASSERT_EQ(scTimeOut(20, 10, 50), 0);
    std::uint8_t buf[256];
    const auto req = Framed({0xF4, 0x57, 0x01, 0x00});
    for (int i = 1; i <= 4; ++i) {
        ASSERT_EQ(scWrite(req.data(), 5), 5);
        EXPECT_EQ(scRead(buf, 256), i % 2 ? 65 : 69) << i;
        EXPECT_EQ(scChkSum(buf + (i % 2 ? 5 : 9), 60), 1) << i;
    }
}

TEST(EcmSimTool, HelpAndBadOptions)
{
    const std::string bin = EcmSim::Binary();
    EXPECT_EQ(std::system((bin + " --help >/dev/null").c_str()), 0);
    EXPECT_NE(std::system((bin + " --data-length 127 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((bin + " --bogus 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((bin + " --com 1 --device /dev/null 2>/dev/null").c_str()), 0);
}
