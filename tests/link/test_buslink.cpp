// The link settings and a run on a bus that other modules talk on, against
// the simulated car in each of its chatter patterns, with and without echo.
#include "definitions/Persist.h"
#include "decode/Hex.h"
#include "link/AldlExchange.h"
#include "link/BusLink.h"
#include "serilink/serilink.h"
#include "tests/definitions/TempDir.h"
#include "tests/support/EcmSim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>

namespace {

TLxPersist Store(const std::vector<std::string>& lines)
{
    TLxPersist s;
    s.Lines = lines;
    return s;
}

TEST(LinkSettings, ReadWriteDefaultsAndBadValues)
{
    const TLinkSettings none = ReadLinkSettings(Store({"[ALDL]", "Version=1"}));
    EXPECT_FALSE(none.Present);
    EXPECT_EQ(none, TLinkSettings{});

    TLxPersist s = Store({"[ALDL]", "Version=1", "[LINK]", "Silence=F1 56 08", "SilenceRepeat=x",
                          "SilenceGap=-4", "QuietWait=20", "QuietTimeout=99999999", "Renew=1500",
                          "Foreign=SKIP", "Resume=F1 56 09", "Later=kept"});
    const TLinkSettings r = ReadLinkSettings(s);
    EXPECT_TRUE(r.Present);
    EXPECT_EQ(r.Silence, "F1 56 08");
    EXPECT_EQ(r.SilenceRepeat, TLinkSettings::DefaultRepeat);
    EXPECT_EQ(r.SilenceGap, TLinkSettings::DefaultGap);
    EXPECT_EQ(r.QuietWait, 20);
    EXPECT_EQ(r.QuietTimeout, TLinkSettings::DefaultQuietTimeout);
    EXPECT_EQ(r.Renew, 1500);
    EXPECT_TRUE(r.SkipForeign);
    EXPECT_EQ(r.Resume, "F1 56 09");

    TLinkSettings w = r;
    w.SilenceRepeat = 5;
    w.SkipForeign = false;
    WriteLinkSettings(s, w);
    EXPECT_EQ(ReadLinkSettings(s), w);
    EXPECT_EQ(s.ReadString("[LINK]", "Later", ""), "kept");
    EXPECT_EQ(s.ReadString("[LINK]", "Foreign", ""), "fail");

    TLxPersist plain = Store({"[ALDL]", "Version=1"});
    WriteLinkSettings(plain, none);
    EXPECT_EQ(plain.Lines.size(), 2u); // a file without the section stays without it

    // QuietWait stays unnamed where it was, as it changes a bus with no Silence
    EXPECT_TRUE(r.QuietWaitSet);
    TLxPersist quiet = Store({"[LINK]", "Silence="});
    TLinkSettings q = ReadLinkSettings(quiet);
    EXPECT_FALSE(q.QuietWaitSet);
    WriteLinkSettings(quiet, q);
    EXPECT_EQ(quiet.ReadString("[LINK]", "QuietWait", "none"), "none");
}

TEST(LinkSettings, RequestListsAndChecksums)
{
    const auto r = LinkRequests("F1 56 08, \"F5 56 08\",zz 56,, 4");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0], (std::vector<std::uint8_t>{0xF1, 0x56, 0x08}));
    EXPECT_EQ(r[2], (std::vector<std::uint8_t>{0x04}));
    EXPECT_EQ(WithChecksum(r[0]).back(), 0xB1);
    EXPECT_EQ(WithChecksum({0xF4, 0x56, 0x08}).back(), 0xAE);
    const std::uint8_t bus[] = {0x3F, 0xF4, 0x8E, 0x40, 0x58, 0xFF, 0xFF, 0xFF, 0x6B};
    EXPECT_TRUE(HoldsForeignFrame(bus, 9, 0xF4));
    EXPECT_FALSE(HoldsForeignFrame(bus, 8, 0xF4));
    const std::uint8_t own[] = {0xF4, 0x56, 0x08, 0xAE};
    EXPECT_FALSE(HoldsForeignFrame(own, 4, 0xF4));
}

struct Car {
    const char* chatter;
    const char* id;
    const char* silence;
    const char* resume;
};
const Car kCars[] = {{"vt", "F5", "F1 56 08", "F1 56 09"},
                     {"vs", "F5", "F5 56 08", "F5 56 09"},
                     {"lt1", "F4", "F4 56 08", "F4 56 09"}};

// Mode 1 replies the simulator sent, as they appear in a frame buffer.
std::vector<std::vector<std::uint8_t>> Replies(const std::string& record)
{
    std::vector<std::vector<std::uint8_t>> out;
    std::istringstream in(ReadBytes(record));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream l(line);
        std::string n, kind, b;
        l >> n >> kind;
        std::vector<std::uint8_t> bytes;
        while (l >> b) bytes.push_back(static_cast<std::uint8_t>(std::stoi(b, nullptr, 16)));
        if ((kind == "good" || kind == "fault") && bytes.size() > 3 && bytes[2] == 0x01) out.emplace_back(bytes.begin() + 3, bytes.end());
    }
    return out;
}

class OnABusyBus : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(OnABusyBus, EveryFrameReadIsTheEcmsOwnOnce)
{
    const Car& car = kCars[std::get<0>(GetParam())];
    const bool echo = std::get<1>(GetParam());
    TempDir dir;
    const std::string record = dir.File("record");
    std::vector<std::string> opts = {"--chatter", car.chatter, "--id", car.id, "--record", record, "--quiet",
                                     "--quiet-ms", "1500", "--data-length", "20"};
    if (!echo) opts.push_back("--no-echo");
    EcmSim sim(opts, 21);
    ASSERT_EQ(scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1"), 0);
    scTimeOut(20, 10, 50);
    TLinkSettings s;
    s.Present = true;
    s.Silence = car.silence;
    s.Resume = car.resume;
    s.SkipForeign = true;
    TBusLink bus(s);
    bus.Start();
    const std::vector<std::string> request = {std::string(car.id) + " 57 01 00"};
    std::vector<std::vector<std::uint8_t>> got;
    int failed = 0;
    // long enough for the bus to wake once and be silenced again
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
    while (std::chrono::steady_clock::now() < end) {
        FrameBuffer frame{};
        const TLiveFrame f = bus.ReadFrame(request, echo, frame, 0);
        if (f.Count > 0) got.emplace_back(frame.begin(), frame.begin() + f.Count);
        else ++failed;
    }
    EXPECT_GE(bus.Bursts(), 1);
    bus.Stop();
    // the bus talks again once the run has stopped
    std::uint8_t buf[64];
    scTimeOut(0, 0, 700);
    EXPECT_GT(scRead(buf, sizeof buf), 0);
    scDone();
    sim.Stop();

    const auto sent = Replies(record);
    ASSERT_GE(got.size(), 8u) << failed << " failed";
    EXPECT_LE(failed, 3);
    // in the order sent, byte for byte, none twice (a reply cut short by a
    // stalled process on a busy machine ends early, as it always did)
    std::size_t k = 0;
    for (const auto& g : got) {
        while (k < sent.size() && !(g.size() <= sent[k].size() && std::equal(g.begin(), g.end(), sent[k].begin()))) ++k;
        ASSERT_LT(k, sent.size()) << "not one of the ECM's replies: " << BytesToHex(g.data(), FrameLast, static_cast<int>(g.size()));
        ++k;
    }
}

INSTANTIATE_TEST_SUITE_P(Cars, OnABusyBus, ::testing::Combine(::testing::Range(0, 3), ::testing::Bool()));

TEST(BusLink, WithoutLinkSettingsChatterFailsAsBeforeAndIsNamed)
{
    EcmSim sim({"--chatter", "vs", "--id", "F5", "--quiet"}, 22);
    ASSERT_EQ(scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1"), 0);
    scTimeOut(20, 10, 50);
    TBusLink bus;
    bool chatterNamed = false;
    int failed = 0;
    for (int i = 0; i < 25; ++i) {
        FrameBuffer frame{};
        const TLiveFrame f = bus.ReadFrame({"F5 57 01 00"}, true, frame, 0);
        if (f.Count < 0) ++failed;
        chatterNamed = chatterNamed || bus.ChatterFailure();
    }
    scDone();
    EXPECT_GT(failed, 0);
    EXPECT_TRUE(chatterNamed);
    EXPECT_EQ(bus.Skipped(), 0);
}

TEST(BusLink, QuietWaitWithoutSilenceSendsTheFirstRequestInAGap)
{
    // The body module talks 170 ms of every 300 and is never silenced: only
    // a request sent in its quiet part is answered.
    EcmSim sim({"--chatter", "vt", "--quiet", "--data-length", "20"}, 24);
    ASSERT_EQ(scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1"), 0);
    scTimeOut(20, 10, 50);
    TLxPersist store = Store({"[LINK]", "Silence=", "QuietWait=30", "QuietTimeout=2000"});
    TBusLink bus(ReadLinkSettings(store));
    for (int run = 0; run < 5; ++run) {
        bus.Start();
        FrameBuffer frame{};
        EXPECT_EQ(bus.ReadFrame({"F4 57 01 00"}, true, frame, 0).Count, 21) << "run " << run;
    }
    scDone();
    EXPECT_EQ(bus.Bursts(), 0);
}

TEST(BusLink, GarbageNeverHoldsAnExchangePastItsTimeouts)
{
    EcmSim sim({"--no-pace", "--garbage", "5000", "--quiet"}, 23);
    ASSERT_EQ(scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1"), 0);
    scTimeOut(20, 10, 50);
    TLinkSettings s;
    s.Present = true;
    s.SkipForeign = true;
    TBusLink bus(s);
    for (int i = 0; i < 3; ++i) {
        FrameBuffer frame{};
        const auto t0 = std::chrono::steady_clock::now();
        const TLiveFrame f = bus.ReadFrame({"F4 57 01 00"}, true, frame, 0);
        EXPECT_LT(f.Count, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    }
    scDone();
}

} // namespace
