// The texts of a cell table: the axes of --cells and the page, and the
// conditions of --where and the page. Any text is refused with a reason or
// read into a table whose breakpoints rise; what is read writes back as
// text that reads the same; a frame goes to a cell of the table or none.
#include "decode/CellTable.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

std::vector<std::string> Row(const char* name, const char* id, const char* start, const char* display = "Value",
                             const char* flags = "")
{
    std::vector<std::string> r(DefColumnCount);
    r[colName] = name, r[colID] = id, r[colStart] = start, r[colFactor] = "0.5", r[colOffset] = "-3";
    r[colDisplay] = display, r[colFlags] = flags;
    return r;
}

// Names with blanks and signs, a name that is another word's ID, and one
// name two words share.
const TAldl& Words()
{
    static TAldl aldl = [] {
        TAldl a;
        a.Add(Row("Engine speed", "RPM", "1"));
        a.Add(Row("MAP", "MAP", "2"));
        a.Add(Row("Closed loop", "CL", "3.0", "Flag", "Open,\"Closed, ok\""));
        a.Add(Row("Coolant", "CLT", "4"));
        a.Add(Row("coolant", "CLT2", "5"));
        a.Add(Row("RPM", "BLM", "6"));
        a.Add(Row("A<B=C", "ODD", "7"));
        return a;
    }();
    return aldl;
}

bool SameAxis(const TCellAxis& a, const TCellAxis& b) { return a.Word == b.Word && a.Breaks == b.Breaks; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const auto bytes = fdp.ConsumeBytes<std::uint8_t>(7);
    const std::string axes = fdp.ConsumeRandomLengthString(400);
    const std::string where = fdp.ConsumeRemainingBytesAsString();
    const TAldl& aldl = Words();

    TCellSetup setup;
    std::string error;
    if (!ParseCellAxes(axes, aldl, setup, error)) {
        FUZZ_CHECK(!error.empty());
        setup = TCellSetup{};
        setup.X = DefaultAxis(aldl, 0), setup.Y = DefaultAxis(aldl, 1), setup.Z = 3;
    } else {
        for (const TCellAxis* a : {&setup.X, &setup.Y}) {
            FUZZ_CHECK(!a->Breaks.empty() && a->Breaks.size() == a->Texts.size());
            for (std::size_t i = 1; i < a->Breaks.size(); ++i) FUZZ_CHECK(a->Breaks[i - 1] < a->Breaks[i]);
        }
        TCellSetup again;
        const std::string text = "X=" + aldl.Items(setup.X.Word).ID + ":" + BreakpointsText(setup.X) + ";Y=" +
                                 aldl.Items(setup.Y.Word).ID + ":" + BreakpointsText(setup.Y) + ";Z=" + aldl.Items(setup.Z).ID;
        FUZZ_CHECK(ParseCellAxes(text, aldl, again, error));
        FUZZ_CHECK(SameAxis(again.X, setup.X) && SameAxis(again.Y, setup.Y) && again.Z == setup.Z);
    }

    if (!ParseCellConditions(where, aldl, setup.Where, error)) {
        FUZZ_CHECK(!error.empty());
        setup.Where.clear();
    } else {
        std::vector<TCellCondition> again;
        FUZZ_CHECK(ParseCellConditions(ConditionsText(aldl, setup.Where), aldl, again, error));
        FUZZ_CHECK(again.size() == setup.Where.size());
        for (std::size_t i = 0; i < again.size(); ++i) {
            const TCellCondition &a = again[i], &b = setup.Where[i];
            FUZZ_CHECK(a.Word == b.Word && a.Op == b.Op && a.ByText == b.ByText && a.Text == b.Text);
            FUZZ_CHECK(a.ByText || a.Value == b.Value);
        }
    }

    TCellTable table;
    table.Reset(aldl, setup);
    FrameBuffer f{};
    if (!bytes.empty()) std::memcpy(f.data(), bytes.data(), bytes.size());
    TFrameResult res;
    DecodeWords(aldl, f, res, false);
    const int cell = table.CellOf(res, static_cast<int>(bytes.size()));
    FUZZ_CHECK(cell >= -1 && cell < table.Columns() * table.Rows());
    FUZZ_CHECK(table.Add(res, static_cast<int>(bytes.size())) == (cell >= 0));
    return 0;
}
