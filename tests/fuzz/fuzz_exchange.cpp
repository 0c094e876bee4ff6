// The request exchange over a scripted line: echoes, headers and bodies cut
// short, failing reads and writes, garbage. Every outcome is one of the
// documented results, the reply buffer is never overrun, and the request
// always goes out with its checksum.
#include "decode/Errors.h"
#include "decode/Hex.h"
#include "link/AldlExchange.h"
#include "serilink/serilink.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/ScriptedLink.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const bool echo = fdp.ConsumeBool();
    const bool wantHeader = fdp.ConsumeBool();
    const int rounds = fdp.ConsumeIntegralInRange(1, 3);
    const std::string request = fdp.ConsumeRandomLengthString(400);
    const std::string control = fdp.ConsumeRandomLengthString(64);

    ScriptedLine line;
    line.loopback = fdp.ConsumeBool();
    line.control = control;
    line.data = fdp.ConsumeRemainingBytesAsString();
    SetScriptedLine(&line);

    const std::size_t items = std::min<std::size_t>(SplitList(request).size(), AldlMaxRequest);
    // Heap buffers of the exact size, so a single byte too far shows.
    auto reply = std::make_unique<FrameBuffer>();
    auto header = std::make_unique<std::array<std::uint8_t, 3>>();
    for (int r = 0; r < rounds; ++r) {
        (*reply)[FrameLast] = 0xA5;
        header->fill(0);
        line.written.clear();
        line.reads = 0;
        const int got = AldlExchange(request, echo, reply->data(), FrameLast, wantHeader ? header->data() : nullptr);
        FUZZ_CHECK((got >= -5 && got <= -1) || (got >= 1 && got <= 127));
        // Only the echo of a full 128-byte request with its checksum reaches
        // the last position; the reply itself never does.
        FUZZ_CHECK((*reply)[FrameLast] == 0xA5 || (echo && items == AldlMaxRequest));
        // Whatever went out is a prefix of the request and its checksum.
        FUZZ_CHECK(line.written.size() <= items + 1);
        if (line.written.size() == items + 1) {
            unsigned sum = 0;
            for (unsigned char c : line.written) sum += c;
            FUZZ_CHECK(sum % 256 == 0);
        }
        // Bounded: echo, header, body and at most one drain of the line.
        FUZZ_CHECK(line.reads <= 3 + 256 + 1);
        if (got > 0 && wantHeader) FUZZ_CHECK(got <= (*header)[1] - 0x55);
    }
    SetScriptedLine(nullptr);
    return 0;
}
