// One log line: any text gives a stamp and at most 129 bytes, and every line
// the writer makes reads back as the same stamp and bytes (all 129).
#include "link/LogFile.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const auto stamp = fdp.ConsumeIntegral<std::int32_t>();
    const auto bytes = fdp.ConsumeBytes<std::uint8_t>(fdp.ConsumeIntegralInRange<std::size_t>(0, 129));
    const std::string text = fdp.ConsumeRemainingBytesAsString();

    FrameBuffer buf{};
    std::int32_t got = 0;
    const int count = ParseLogLine(text, buf, got);
    FUZZ_CHECK(count >= 0 && count <= FrameLast + 1);

    FrameBuffer frame{};
    if (!bytes.empty()) std::memcpy(frame.data(), bytes.data(), bytes.size());
    const int n = static_cast<int>(bytes.size());
    const std::string line = FormatLogLine(stamp, frame.data(), n);
    FUZZ_CHECK(line.find('\r') == std::string::npos && line.find('\n') == std::string::npos);
    buf.fill(0);
    FUZZ_CHECK(ParseLogLine(line, buf, got) == n);
    FUZZ_CHECK(got == stamp);
    FUZZ_CHECK(std::memcmp(buf.data(), frame.data(), static_cast<std::size_t>(n)) == 0);
    return 0;
}
