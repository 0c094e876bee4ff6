// The [LINK] section read from a file, and a run on a busy bus over a
// scripted line. Every setting lands within its bounds and reads back as
// written; whatever the line carries, an exchange reads a bounded amount
// after its request, a skipped frame is a whole frame that adds up and is
// not the ECM's, and a frame taken as the reply among others carries the
// ECM's ID.
#include "decode/Hex.h"
#include "definitions/Persist.h"
#include "link/BusLink.h"
#include "serilink/serilink.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/MemFile.h"
#include "tests/fuzz/ScriptedLink.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <memory>
#include <sstream>

namespace {

MemFile file;

void CheckRequests(const std::string& text)
{
    for (const auto& r : LinkRequests(text)) {
        FUZZ_CHECK(!r.empty() && r.size() <= 127);
        unsigned sum = 0;
        for (std::uint8_t b : WithChecksum(r)) sum += b;
        FUZZ_CHECK(sum % 256 == 0);
    }
}

TLinkSettings Settings(const std::string& text)
{
    TLxPersist store;
    if (!store.LoadFile(file.Set("[LINK]\n" + text))) return {};
    const TLinkSettings s = ReadLinkSettings(store);
    FUZZ_CHECK(s.Present);
    FUZZ_CHECK(s.SilenceRepeat >= 1 && s.SilenceRepeat <= 20);
    FUZZ_CHECK(s.SilenceGap >= 0 && s.SilenceGap <= 2000);
    FUZZ_CHECK(s.QuietWait >= 0 && s.QuietWait <= 5000);
    FUZZ_CHECK(s.QuietTimeout >= 0 && s.QuietTimeout <= 30000);
    FUZZ_CHECK(s.Renew >= 0 && s.Renew <= 600000);
    CheckRequests(s.Silence);
    CheckRequests(s.Resume);
    TLxPersist again;
    again.Lines = {LinkSection};
    WriteLinkSettings(again, s);
    FUZZ_CHECK(ReadLinkSettings(again) == s);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    TLinkSettings s = Settings(fdp.ConsumeRandomLengthString(300));
    if (!s.Present) return 0;
    // Waits and pauses end when the scripted line runs dry; the clock
    // only matters for a line that talks on, so keep them short.
    s.QuietTimeout = std::min(s.QuietTimeout, 20);
    s.SilenceGap = std::min(s.SilenceGap, 5);
    s.SilenceRepeat = std::min(s.SilenceRepeat, 4);

    const bool echo = fdp.ConsumeBool();
    const auto id = fdp.ConsumeIntegral<std::uint8_t>();
    std::vector<std::string> requests = {ByteToHex(id) + " 57 01 00"};
    if (fdp.ConsumeBool()) requests.insert(requests.begin(), ByteToHex(id) + " 56 0A");
    const std::string control = fdp.ConsumeRandomLengthString(64);
    ScriptedLine line;
    line.loopback = fdp.ConsumeBool();
    line.control = control;
    const bool talksOn = fdp.ConsumeBool();
    const std::string bytes = fdp.ConsumeRemainingBytesAsString();
    line.data = bytes;
    // A bus that never goes quiet: far more than any exchange may take.
    while (talksOn && !bytes.empty() && line.data.size() < 16384) line.data += bytes;
    SetScriptedLine(&line);

    TBusLink bus(s);
    bus.Start();
    auto frame = std::make_unique<FrameBuffer>();
    for (int round = 0; round < 3; ++round) {
        std::uint8_t header[3] = {};
        const int count = bus.ReadFrame(requests, echo, *frame, 0, header).Count;
        FUZZ_CHECK((count >= -5 && count <= -1) || (count >= 0 && count <= 127));
        if (count > 0) {
            // (Foreign=fail keeps the plain exchange, which takes any ID)
            FUZZ_CHECK(header[0] == id || !s.SkipForeign);
            FUZZ_CHECK(count <= header[1] - 0x55);
        }
        // After its request an exchange takes at most every skippable frame
        // whole, the echo, the reply and one drain.
        const int most = (TBusLink::MaxSkip + 2) * (0xFF - 0x52) + 128 + 3 + 256;
        FUZZ_CHECK(line.taken - line.takenAtWrite <= static_cast<std::size_t>(most));
        FUZZ_CHECK(line.reads - line.readsAtWrite <= 2 * (TBusLink::MaxSkip + 2) + 4 + 256);
    }
    const std::int64_t skipped = bus.Skipped();
    std::int64_t noted = 0;
    for (const std::string& note : bus.TakeNotes()) {
        if (note.rfind("Skipped ", 0) != 0) continue;
        ++noted;
        std::istringstream in(note.substr(8));
        std::vector<unsigned> b;
        std::string h;
        while (in >> h) b.push_back(static_cast<unsigned>(HexToByte(h)));
        FUZZ_CHECK(b.size() >= 3 && b[0] != id && b[1] >= 0x55 && b.size() == b[1] - 0x52u);
        unsigned sum = 0;
        for (unsigned x : b) sum += x;
        FUZZ_CHECK(sum % 256 == 0);
    }
    FUZZ_CHECK(noted == skipped || noted == static_cast<std::int64_t>(TBusLink::MaxNotes));
    FUZZ_CHECK(s.SkipForeign || skipped == 0);

    // Stopping sends the resume requests, each with its checksum, and nothing else.
    line.written.clear();
    bus.Stop();
    std::string resume;
    for (const auto& r : LinkRequests(s.Resume))
        for (std::uint8_t b : WithChecksum(r)) resume += static_cast<char>(b);
    FUZZ_CHECK(line.written.size() <= resume.size());
    SetScriptedLine(nullptr);
    return 0;
}
