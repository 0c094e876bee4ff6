// Whole log files through the buffered reader, compared line by line with a
// plain reading of the same bytes: line ends, Ctrl+Z, long stamps and lines
// that straddle the reader's 64 KiB buffer all give the same frames.
#include "link/LogFile.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/MemFile.h"

#include <cstring>
#include <string_view>

namespace {

MemFile file;

// The reader keeps at most this much of a stamp; a longer one reads as 0.
constexpr std::size_t kStampCap = 4096;

std::vector<std::string> PlainLines(std::string_view d)
{
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < d.size()) {
        const std::size_t e = d.find_first_of(std::string_view("\r\x1a", 2), i);
        if (e == std::string_view::npos) {
            lines.emplace_back(d.substr(i));
            break;
        }
        if (d[e] == '\x1a') {
            if (e > i) lines.emplace_back(d.substr(i, e - i));
            break;
        }
        lines.emplace_back(d.substr(i, e - i));
        i = e + 1;
        if (i < d.size() && d[i] == '\n') ++i;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    // The first byte may push the rest across the reader's buffer boundary,
    // behind one long line that fills the space before it.
    std::string content;
    if (data[0] & 1) {
        const std::size_t pad = 64 * 1024 - (data[0] >> 1);
        content.assign(pad - 2, '7');
        content += "\r\n";
    }
    content.append(reinterpret_cast<const char*>(data) + 1, size - 1);

    TLogReader reader;
    FUZZ_CHECK(reader.Open(file.Set(content)));
    for (std::string line : PlainLines(content)) {
        const auto comma = line.find(',');
        if (comma != std::string::npos && comma > kStampCap) line = "?" + line.substr(comma);
        FrameBuffer want{}, got{};
        std::int32_t wantStamp = 0, gotStamp = 0;
        int gotCount = -1;
        const int wantCount = ParseLogLine(line, want, wantStamp);
        FUZZ_CHECK(reader.ReadLogLine(got, gotCount, gotStamp));
        FUZZ_CHECK(gotCount == wantCount && gotStamp == wantStamp);
        FUZZ_CHECK(std::memcmp(got.data(), want.data(), static_cast<std::size_t>(wantCount)) == 0);
    }
    FrameBuffer buf{};
    int count = 0;
    std::int32_t stamp = 0;
    FUZZ_CHECK(!reader.ReadLogLine(buf, count, stamp));
    FUZZ_CHECK(!reader.ReadLogLine(buf, count, stamp));
    return 0;
}
