// The example definition decodes the simulator's stream word for word.
#include "decode/Aldl.h"
#include "decode/Hex.h"
#include "link/AldlExchange.h"
#include "serilink/serilink.h"
#include "tests/support/EcmSim.h"
#include "tools/ecmsim/EngineModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <string>

namespace {

std::map<std::string, std::string> ReadKeys(const std::string& path, std::string& raw)
{
    std::ifstream in(path, std::ios::binary);
    raw.assign(std::istreambuf_iterator<char>(in), {});
    std::map<std::string, std::string> keys;
    std::size_t pos = 0;
    while (pos < raw.size()) {
        std::size_t end = raw.find("\r\n", pos);
        if (end == std::string::npos)
            end = raw.size();
        const std::string line = raw.substr(pos, end - pos);
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos)
            keys[line.substr(0, eq)] = line.substr(eq + 1);
        pos = end + 2;
    }
    return keys;
}

long double Value(const TDisplay& d, const FrameBuffer& f)
{
    return RawWord(f.data(), FrameLast, d.StartByte, d.StartBit, d.Bits) * d.Factor + d.Offset;
}

} // namespace

TEST(EcmSimDefinition, DecodesTheSimulatedStream)
{
    std::string raw;
    auto keys = ReadKeys(EXAMPLES_DIR "/ecmsim.ald", raw);
    ASSERT_FALSE(raw.empty());
    ASSERT_EQ(raw.substr(raw.size() - 2), "\r\n");
    ASSERT_EQ(raw.rfind("[ALDL]\r\nVersion=1\r\nInfo=", 0), 0u);

    const auto info = SplitList(keys["Info"]);
    ASSERT_EQ(info.size(), 13u);
    EXPECT_EQ(info[9], "F4 57 01 00");
    EXPECT_EQ(info[11], "Y");
    EXPECT_EQ(StrToIntDef(info[12], 0), 1);

    TAldl aldl;
    const int words = StrToIntDef(keys["Words"], 0);
    ASSERT_GT(words, 0);
    for (int n = 1; n <= words; ++n) {
        auto cells = SplitList(keys["W" + std::to_string(n)]);
        ASSERT_EQ(cells.size(), 17u) << n;
        for (auto& c : cells)
            c = DashToEmpty(c);
        aldl.Add(cells);
    }

    EcmSim sim({"--seed", "5", "--no-pace"});
    ASSERT_EQ(scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1"), 0) << scErrText();
    ASSERT_EQ(scTimeOut(20, 10, 50), 0);
    EngineModel model(5);
    FrameBuffer f{};
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(AldlExchange(info[9], info[11] == "Y", f.data(), FrameLast), 57);
        const EngineState& e = model.State();
        const std::map<std::string, std::pair<double, double>> expect = {
            {"PROM", {3127, 0}},       {"RPM", {e.rpm, 0.25}},   {"CLT", {e.coolant, 0.75}},
            {"TPS", {e.tps, 0.4}},     {"MAP", {e.map, 0.4}},    {"SPK", {e.spark, 0.25}},
            {"O2", {e.o2, 0.005}},     {"BAT", {e.battery, 0.1}}, {"CL", {e.closedLoop, 0}},
            {"FAN", {e.fan, 0}},       {"IDLE", {e.idle, 0}},    {"WOT", {e.wot, 0}},
            {"AC", {e.acRequest, 0}},  {"MIL", {e.checkEngine, 0}}, {"IAT", {e.iat, 0.75}},
            {"VSS", {e.speed, 1}},     {"IPW", {e.ipw, 0.01}},   {"IAC", {e.iac, 1}},
            {"BLM", {e.blm, 1}},       {"INT", {e.integrator, 1}}, {"CNT", {frame, 0}},
        };
        ASSERT_EQ(static_cast<int>(expect.size()), aldl.Count());
        for (int i = 0; i < aldl.Count(); ++i) {
            const TDisplay& d = aldl.Items(i);
            auto it = expect.find(d.ID);
            ASSERT_NE(it, expect.end()) << d.ID;
            EXPECT_NEAR(static_cast<double>(Value(d, f)), it->second.first, it->second.second + 1e-9)
                << d.Name << " in frame " << frame;
        }
        model.Advance(0.08);
        model.NextFrame();
    }
    scDone();
}
