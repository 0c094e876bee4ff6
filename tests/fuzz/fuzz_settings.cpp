// The settings file as the window reads and writes it: every key it reads
// gives a number or its default, the values it writes read back as written,
// and the lines it saves load again unchanged.
#include "decode/Errors.h"
#include "decode/Hex.h"
#include "definitions/Persist.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/MemFile.h"

namespace {

MemFile file;

const char* const kForm = "[FORM]";
const char* const kGrid = "[GRID]";
const char* const kFormKeys[] = {"Left", "Top", "Width", "Height", "Split1", "Split2"};
const char* const kChartKeys[] = {"Lines", "Series4", "Series3", "Series2", "Series1",
                                  "Notes", "Ylabels", "Grids", "Background"};
const char* const kGridKeys[] = {"AldlSizes", "DataSizes", "MalfSizes"};

std::string Saved(const TLxPersist& p)
{
    std::string out;
    for (const auto& l : p.Lines) out += l + "\r\n";
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TLxPersist s;
    if (!s.LoadFile(file.Set(data, size))) return 0;

    // Reading, as at start-up.
    std::int32_t v = 0;
    for (const char* k : kFormKeys) (void)TryStrToInt(s.ReadString(kForm, k, "10"), v);
    (void)s.ReadString(kForm, "State", "Normal");
    for (int n = 1; n <= 3; ++n)
        for (const char* k : kChartKeys)
            (void)TryStrToInt(s.ReadString("[CHART" + std::to_string(n) + "]", k, "0"), v);
    for (const char* k : kGridKeys)
        for (const std::string& f : SplitList(s.ReadString(kGrid, k, ""))) (void)StrToIntDef(f, 32);

    // Writing, as at close: what is written is what a later start reads.
    int i = 0;
    for (const char* k : kFormKeys) s.WriteString(kForm, k, std::to_string(++i * 97 - 300));
    s.WriteString(kForm, "State", "Normal");
    for (int n = 1; n <= 3; ++n)
        for (const char* k : kChartKeys)
            s.WriteString("[CHART" + std::to_string(n) + "]", k, std::to_string(-16777216 + ++i));
    for (const char* k : kGridKeys) s.WriteString(kGrid, k, JoinCommaText({"123", "92", "30"}));
    i = 0;
    for (const char* k : kFormKeys) FUZZ_CHECK(s.ReadString(kForm, k, "") == std::to_string(++i * 97 - 300));
    FUZZ_CHECK(s.ReadString(kForm, "State", "") == "Normal");
    for (int n = 1; n <= 3; ++n)
        for (const char* k : kChartKeys)
            FUZZ_CHECK(s.ReadString("[CHART" + std::to_string(n) + "]", k, "") == std::to_string(-16777216 + ++i));
    for (const char* k : kGridKeys) FUZZ_CHECK(s.ReadString(kGrid, k, "") == "123,92,30");

    // The saved form loads back line for line.
    TLxPersist again;
    FUZZ_CHECK(again.LoadFile(file.Set(Saved(s))));
    FUZZ_CHECK(again.Lines == s.Lines);
    return 0;
}
