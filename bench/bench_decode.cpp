// Pure decode of one frame through a 60-word definition, and the byte-list texts of a log line.
#include "decode/Aldl.h"
#include "decode/DisplayLayout.h"
#include "decode/Hex.h"
#include "decode/WordDecode.h"

#include <benchmark/benchmark.h>

namespace {

TAldl SixtyWords()
{
    TAldl list;
    for (int i = 0; i < 60; ++i) {
        std::vector<std::string> row(DefColumnCount);
        row[colName] = "Word " + std::to_string(i);
        row[colStart] = std::to_string(i + 1) + (i % 3 == 2 ? ".2" : "");
        row[colBits] = i % 3 == 0 ? "16" : i % 3 == 1 ? "8" : "4";
        row[colFactor] = i % 2 ? "0.75" : "25";
        row[colOffset] = i % 2 ? "-40" : "0";
        list.Add(row);
    }
    return list;
}

void BM_DecodeSixtyWordFrame(benchmark::State& state)
{
    TAldl list = SixtyWords();
    FrameBuffer frame{};
    for (int i = 0; i < 60; ++i) frame[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (auto _ : state) {
        long double sum = 0;
        for (int i = 0; i < list.Count(); ++i) {
            const TDisplay& d = list.Items(i);
            std::int32_t raw = RawWord(frame.data(), FrameLast, d.StartByte, d.StartBit, d.Bits);
            long double value = raw * d.Factor + d.Offset;
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
        frame[5]++;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeSixtyWordFrame);

// The same sixty words as definition rows; with `expressions`, ten of them
// computed: reciprocals, signed words, a table and words read by others.
std::vector<std::vector<std::string>> SixtyRows(bool expressions)
{
    static const char* const formulas[10] = {
        "=1310720/X", "=signed(X,16)*90/255", "=table(X, 0,-40, 24,0, 56,20, 103,40, 153,60, 255,200)",
        "={W1}*{W0}/1200", "=X/65.536", "=if(X>128, X-128, -X)", "=min(max(X*0.75-40, -40), 150)",
        "=2*X-255", "=abs(signed(X,8))", "={W3}+X/10"};
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < 60; ++i) {
        std::vector<std::string> row(DefColumnCount);
        row[colName] = "Word " + std::to_string(i);
        row[colID] = "W" + std::to_string(i);
        row[colStart] = std::to_string(i + 1) + (i % 3 == 2 ? ".2" : "");
        row[colBits] = i % 3 == 0 ? "16" : i % 3 == 1 ? "8" : "4";
        row[colFactor] = i % 2 ? "0.75" : "25";
        row[colOffset] = i % 2 ? "-40" : "0";
        row[colDisplay] = i % 7 == 3 ? "Chart" : "Value";
        row[colChart] = std::to_string(i % 3 + 1);
        row[colSeries] = std::to_string(i % 4 + 1);
        if (expressions && i % 6 == 0) row[colFormula] = formulas[i / 6];
        rows.push_back(row);
    }
    return rows;
}

// A whole frame as the window decodes it (values, texts, alarms, chart
// feed); the argument is 0 without expressions and 1 with ten.
void BM_DecodeWordsSixty(benchmark::State& state)
{
    TAldl aldl;
    TDisplayLayout layout;
    BuildDisplays(SixtyRows(state.range(0) != 0), aldl, layout);
    if (!layout.Problems.empty()) state.SkipWithError(layout.Problems[0].c_str());
    FrameBuffer frame{};
    for (int i = 0; i < 60; ++i) frame[i] = static_cast<std::uint8_t>(i * 37 + 11);
    TFrameResult r;
    for (auto _ : state) {
        DecodeWords(aldl, frame, r);
        benchmark::DoNotOptimize(r.Words.data());
        frame[5]++;
        frame[12] += 3;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeWordsSixty)->Arg(0)->Arg(1)->ArgName("expressions");

void BM_BytesToDec64(benchmark::State& state)
{
    FrameBuffer frame{};
    for (int i = 0; i < 64; ++i) frame[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (auto _ : state) benchmark::DoNotOptimize(BytesToDec(frame.data(), FrameLast, 64));
}
BENCHMARK(BM_BytesToDec64);

void BM_DecToBytes64(benchmark::State& state)
{
    FrameBuffer frame{};
    for (int i = 0; i < 64; ++i) frame[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const std::string text = BytesToDec(frame.data(), FrameLast, 64);
    FrameBuffer out{};
    for (auto _ : state) benchmark::DoNotOptimize(DecToBytes(text, out.data(), FrameLast));
}
BENCHMARK(BM_DecToBytes64);

} // namespace

BENCHMARK_MAIN();
