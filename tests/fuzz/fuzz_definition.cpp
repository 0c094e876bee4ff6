// A definition file as the window and the tools open it: the keyed store,
// the shared definition reader, a decoder per row, and then frames decoded
// through those decoders as the tables and charts show them, expressions of
// the Formula column included. Rows written back read the same.
#include "decode/Aldl.h"
#include "decode/Errors.h"
#include "decode/Expression.h"
#include "decode/Hex.h"
#include "decode/WordDecode.h"
#include "definitions/Definition.h"
#include "definitions/Persist.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/MemFile.h"

#include <cmath>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

MemFile file;

const char* const kStream = "[STREAM]";

// What the grid stores for a row: every cell in dash form, as comma text.
std::string RowText(const std::vector<std::string>& cells)
{
    std::vector<std::string> dashed;
    for (const auto& c : cells) dashed.push_back(EmptyToDash(c));
    return JoinCommaText(dashed);
}

std::vector<std::string> Cells(const std::string& rowText)
{
    std::vector<std::string> cells = SplitList(rowText);
    for (auto& c : cells) c = DashToEmpty(c);
    return cells;
}

void Decode(const TAldl& aldl, const FrameBuffer& frame)
{
    TFrameResult r;
    DecodeWords(aldl, frame, r);
    FUZZ_CHECK(r.Words.size() == static_cast<std::size_t>(aldl.Count()));
    for (int i = 0; i < aldl.Count(); ++i) {
        const TDisplay& d = aldl.Items(i);
        const TWordResult& w = r.Words[static_cast<std::size_t>(i)];
        const bool inside = d.StartByte >= 1 && d.StartByte <= FrameLast + 1;
        FUZZ_CHECK(w.Read == inside);
        if (!inside) {
            FUZZ_CHECK(r.FirstUnread >= 0 && r.FirstUnread <= i);
            continue;
        }
        const bool fits = d.StartBit >= 0 && d.Bits >= 0 && std::int64_t{d.StartBit} + d.Bits <= 24;
        FUZZ_CHECK(fits ? w.Raw >= 0 && w.Raw < (std::int32_t{1} << d.Bits) : w.Raw == 0);
        // A computed value that is no number has no text and no alarm.
        if (d.Computed && !std::isfinite(w.Value)) {
            FUZZ_CHECK(w.Text.empty() && !w.Below && !w.Above);
            continue;
        }
        // A flag name may be empty; a number text never is.
        if (d.Display == DisplayKind::Flag) FUZZ_CHECK(w.Text == FlagText(d, w.Value));
        else FUZZ_CHECK(!w.Text.empty());
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
    TDefinition def;
    std::string error;
    if (!ReadDefinition(store, def, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    (void)def.RequestText();
    FUZZ_CHECK(def.IntervalMs() >= 0);
    (void)def.EchoOn();
    (void)def.Port();

    TAldl aldl;
    for (std::size_t k = 0; k < def.Words.size(); ++k) {
        const std::vector<std::string>& cells = def.Words[k];
        FUZZ_CHECK(cells.size() <= static_cast<std::size_t>(DefColumnCount));
        aldl.Add(cells);
        // Stored again and read back, the row keeps every cell. (Only the
        // first rows: writing thousands of new keys is slow by design.)
        if (k >= 64) continue;
        const std::string again = RowText(cells);
        FUZZ_CHECK(Cells(again) == cells);
        const std::string key = "W" + std::to_string(k + 1);
        store.WriteString(kStream, key, again);
        FUZZ_CHECK(store.ReadString(kStream, key, "") == again);
    }

    // Expressions: every problem names one word, which then shows its raw value.
    for (const TExprProblem& p : aldl.CompileExpressions()) {
        FUZZ_CHECK(p.Word >= 0 && p.Word < aldl.Count() && !p.What.empty());
        const TDisplay& d = aldl.Items(p.Word);
        FUZZ_CHECK(!d.Computed && d.Factor == 1 && d.Offset == 0);
    }
    // Each word's name as an expression too, so the parser sees texts that
    // need no "=" in a Formula cell to get there.
    std::vector<std::string> ids;
    for (int i = 0; i < aldl.Count(); ++i) ids.push_back(aldl.Items(i).ID);
    for (int i = 0; i < aldl.Count() && i < 8; ++i) {
        TExpression e;
        std::string exprError;
        if (e.Compile(aldl.Items(i).Name, ids, i, exprError)) {
            for (int ref : e.References()) FUZZ_CHECK(ref >= 0 && ref < aldl.Count() && ref != i);
            (void)e.Evaluate(frames.empty() ? 0.0 : frames[0], std::vector<double>(ids.size(), 1.0));
        } else {
            FUZZ_CHECK(!exprError.empty());
        }
    }

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
