// The headless logger through the VT body module's chatter with the example
// definition's link settings: every logged frame is one of the ECM's
// replies, byte for byte, in order, none twice.
#include "link/LogFile.h"
#include "tests/definitions/TempDir.h"
#include "tests/support/EcmSim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

TEST(LoggerChatter, LogsOnlyTheEcmsRepliesThroughVtChatter)
{
    TempDir dir;
    const std::string record = dir.File("record");
    EcmSim sim({"--chatter", "vt", "--id", "F5", "--quiet-ms", "1500", "--record", record, "--quiet"}, 41);
    const std::string cmd = std::string(LOGGER_PATH) + " --com 41 --out " + dir.Path() + " --frames 40 "
                            + EXAMPLES_DIR "/holden-vt-vy-link.ald 2>" + dir.File("err");
    ASSERT_EQ(std::system(cmd.c_str()), 0) << ReadBytes(dir.File("err"));
    sim.Stop();

    std::vector<std::vector<std::uint8_t>> sent;
    std::istringstream rec(ReadBytes(record));
    for (std::string line; std::getline(rec, line);) {
        std::istringstream l(line);
        std::string n, kind, b;
        l >> n >> kind;
        std::vector<std::uint8_t> bytes;
        while (l >> b) bytes.push_back(static_cast<std::uint8_t>(std::stoi(b, nullptr, 16)));
        if (kind == "good" && bytes.size() > 3 && bytes[2] == 0x01) sent.emplace_back(bytes.begin() + 3, bytes.end());
    }
    std::string log;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
        if (e.path().extension() == ".alg") log = e.path().string();
    ASSERT_FALSE(log.empty());
    std::istringstream in(ReadBytes(log));
    std::size_t k = 0, lines = 0;
    for (std::string line; std::getline(in, line);) {
        FrameBuffer f{};
        std::int32_t stamp = 0;
        const int n = ParseLogLine(line.substr(0, line.find('\r')), f, stamp);
        ASSERT_GT(n, 0) << line;
        ++lines;
        // a reply cut short by a stalled process ends early, as it always did
        while (k < sent.size()
               && !(static_cast<std::size_t>(n) <= sent[k].size() && std::equal(f.begin(), f.begin() + n, sent[k].begin())))
            ++k;
        ASSERT_LT(k, sent.size()) << "not one of the ECM's replies: " << line;
        ++k;
    }
    EXPECT_EQ(lines, 40u);
    EXPECT_NE(ReadBytes(dir.File("err")).find("; chatter "), std::string::npos);
}
