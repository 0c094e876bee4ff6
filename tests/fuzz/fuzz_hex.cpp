// Number and byte texts: the list rule, the byte lists of requests and log
// lines, integers and number texts, each with its round trip.
#include "decode/Errors.h"
#include "decode/Hex.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cmath>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

void ListRoundTrip(const std::string& text)
{
    const std::vector<std::string> items = SplitList(text);
    FUZZ_CHECK(SplitList(JoinCommaText(items)) == items);

    // Items cut at 0xFF, so any bytes at all can be an item, empty ones too.
    std::vector<std::string> raw(1);
    for (char c : text) {
        if (static_cast<unsigned char>(c) == 0xFF) raw.emplace_back();
        else raw.back() += c;
    }
    FUZZ_CHECK(SplitList(JoinCommaText(raw)) == raw);
}

void ByteLists(const std::string& text)
{
    const std::size_t items = SplitList(text).size();
    for (bool hex : {false, true}) {
        FrameBuffer buf{};
        try {
            const int n = hex ? HexToBytes(text, buf.data(), FrameLast) : DecToBytes(text, buf.data(), FrameLast);
            FUZZ_CHECK(static_cast<std::size_t>(n) == items);
        } catch (const ERangeError&) {
            FUZZ_CHECK(items > FrameBuffer().size());
        }
    }
    const int b = HexToByte(text);
    FUZZ_CHECK(b >= 0 && b <= 255);
}

void BytesRoundTrip(const std::vector<std::uint8_t>& bytes)
{
    FrameBuffer in{}, out{};
    const int n = static_cast<int>(std::min(bytes.size(), in.size()));
    if (n) std::memcpy(in.data(), bytes.data(), static_cast<std::size_t>(n));
    FUZZ_CHECK(DecToBytes(BytesToDec(in.data(), FrameLast, n), out.data(), FrameLast) == n);
    FUZZ_CHECK(std::memcmp(in.data(), out.data(), static_cast<std::size_t>(n)) == 0);
    out.fill(0);
    FUZZ_CHECK(HexToBytes(BytesToHex(in.data(), FrameLast, n), out.data(), FrameLast) == n);
    FUZZ_CHECK(std::memcmp(in.data(), out.data(), static_cast<std::size_t>(n)) == 0);
}

void Integers(const std::string& text, std::int32_t v)
{
    std::int32_t got = 0;
    const bool ok = TryStrToInt(text, got);
    FUZZ_CHECK(StrToIntDef(text, 7) == (ok ? got : 7));

    FUZZ_CHECK(TryStrToInt(std::to_string(v), got) && got == v);
    char hex[16];
    std::snprintf(hex, sizeof hex, "$%X", static_cast<unsigned>(v));
    FUZZ_CHECK(TryStrToInt(hex, got) && got == v);
    std::snprintf(hex, sizeof hex, " 0x%x", static_cast<unsigned>(v));
    FUZZ_CHECK(TryStrToInt(hex, got) && got == v);
}

void Numbers(const std::string& text, long double v)
{
    long double parsed = 0;
    if (TryFloatFromText(text, parsed)) FUZZ_CHECK(std::isfinite(parsed));

    const std::string shown = NumberToText(v);
    if (!std::isfinite(v)) return;
    FUZZ_CHECK(shown.find(',') == std::string::npos);
    long double back = 0;
    FUZZ_CHECK(TryFloatFromText(shown, back));
    // Whole numbers are written exactly; others to 4 or 2 decimals.
    const bool whole = v == std::trunc(v);
    const long double half = whole ? 0.0L : (v > -1 && v < 1 ? 0.00005L : 0.005L);
    FUZZ_CHECK(std::fabs(back - v) <= half + std::fabs(v) * 0x1p-60L);
    FUZZ_CHECK(shown != "-0");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const auto v = fdp.ConsumeIntegral<std::int32_t>();
    // Built from parts rather than raw bits: the x87 format has encodings
    // no arithmetic ever produces.
    const auto mantissa = fdp.ConsumeIntegral<std::int64_t>();
    const int exponent = fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange(-80, 80)
                                           : fdp.ConsumeIntegralInRange(-16500, 16500);
    const long double number = std::ldexp(static_cast<long double>(mantissa), exponent);
    const auto bytes = fdp.ConsumeBytes<std::uint8_t>(fdp.ConsumeIntegralInRange<std::size_t>(0, 140));
    const std::string text = fdp.ConsumeRemainingBytesAsString();

    ListRoundTrip(text);
    ByteLists(text);
    BytesRoundTrip(bytes);
    Integers(text, v);
    Numbers(text, number);
    return 0;
}
