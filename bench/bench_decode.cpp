// Pure decode of one frame through a 60-word definition, and the byte-list texts of a log line.
#include "decode/Aldl.h"
#include "decode/Hex.h"

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
