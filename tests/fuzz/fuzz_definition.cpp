// A definition file as the window opens it: the keyed store, the version and
// word count, the rows and header fields, a decoder per row, and then frames
// decoded through those decoders. Rows written back read the same.
#include "decode/Aldl.h"
#include "decode/Errors.h"
#include "decode/Hex.h"
#include "definitions/Persist.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/MemFile.h"

#include <cmath>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

MemFile file;

const char* const kAldl = "[ALDL]";
const char* const kStream = "[STREAM]";
constexpr int kMaxWords = 10000;

std::vector<std::string> Cells(const std::string& rowText)
{
    std::vector<std::string> cells = SplitList(rowText);
    if (cells.size() > static_cast<std::size_t>(DefColumnCount)) cells.resize(DefColumnCount);
    for (auto& c : cells) c = DashToEmpty(c);
    return cells;
}

// What the grid stores for a row: every cell in dash form, as comma text.
std::string RowText(const std::vector<std::string>& cells)
{
    std::vector<std::string> dashed;
    for (const auto& c : cells) dashed.push_back(EmptyToDash(c));
    return JoinCommaText(dashed);
}

void Decode(const TAldl& aldl, const FrameBuffer& frame)
{
    for (int i = 0; i < aldl.Count(); ++i) {
        const TDisplay& d = aldl.Items(i);
        std::int32_t raw = 0;
        try {
            raw = RawWord(frame.data(), FrameLast, d.StartByte, d.StartBit, d.Bits);
        } catch (const ERangeError&) {
            FUZZ_CHECK(d.StartByte < 1 || d.StartByte > FrameLast + 1);
            continue;
        }
        const bool fits = d.StartBit >= 0 && d.Bits >= 0 && std::int64_t{d.StartBit} + d.Bits <= 24;
        FUZZ_CHECK(fits ? raw >= 0 && raw < (std::int32_t{1} << d.Bits) : raw == 0);
        const long double value = raw * d.Factor + d.Offset;
        (void)NumberToText(value);
        if (d.Display == DisplayKind::Flag && std::isfinite(value)) {
            const long double r = std::nearbyint(value);
            if (r >= 0 && r < static_cast<long double>(d.Flags.size())) (void)d.Flags[static_cast<std::size_t>(r)];
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const auto frames = fdp.ConsumeBytes<std::uint8_t>(fdp.ConsumeIntegralInRange<std::size_t>(0, 400));
    const std::string text = fdp.ConsumeRemainingBytesAsString();

    TLxPersist store;
    if (!store.LoadFile(file.Set(text))) return 0;
    std::int32_t version = 0, words = 0;
    if (!TryStrToInt(store.ReadString(kAldl, "Version", "0"), version) || version > 1) return 0;
    if (!TryStrToInt(store.ReadString(kAldl, "Words", "0"), words) || words < 0 || words > kMaxWords) return 0;
    (void)Cells(store.ReadString(kAldl, "Header", "0"));
    for (const auto& f : SplitList(store.ReadString(kAldl, "Info", "-,-,-,-,-,-,-,-,-,-,-,-,-"))) (void)DashToEmpty(f);

    TAldl aldl;
    for (int k = 1; k <= words; ++k) {
        const std::string key = "W" + std::to_string(k);
        const std::vector<std::string> cells = Cells(store.ReadString(kStream, key, "0"));
        aldl.Add(cells);
        // Stored again and read back, the row keeps every cell.
        const std::string again = RowText(cells);
        FUZZ_CHECK(Cells(again) == cells);
        store.WriteString(kStream, key, again);
        FUZZ_CHECK(store.ReadString(kStream, key, "") == again);
    }
    FUZZ_CHECK(aldl.Count() == words);

    // The frames: cut from the input, the rest of the buffer as a reply leaves it.
    std::size_t at = 0;
    do {
        FrameBuffer frame;
        frame.fill(0x3F);
        const std::size_t n = std::min(frames.size() - at, frame.size());
        if (n) std::memcpy(frame.data(), frames.data() + at, n);
        Decode(aldl, frame);
        at += n;
    } while (at < frames.size());
    return 0;
}
