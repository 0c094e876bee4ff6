// Reading back a recorded log: 100,000 lines of 60-byte frames, read and
// parsed through the replay reader; also one line parsed and one written.
#include "link/LogFile.h"

#include "bench/BenchFiles.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kLines = 100000;
constexpr int kFrame = 60;

FrameBuffer SampleFrame(int i)
{
    FrameBuffer f{};
    for (int b = 0; b < kFrame; ++b) f[b] = static_cast<std::uint8_t>(b * 37 + i * 11);
    return f;
}

struct LogFixture : TempLog {
    LogFixture() : TempLog("benchlog", kLines, kFrame, 100, [](int i, FrameBuffer& f) { f = SampleFrame(i); }) {}
};

void BM_ReadLog100k(benchmark::State& state)
{
    LogFixture fx;
    long long lines = 0;
    for (auto _ : state) {
        TLogReader r;
        if (!r.Open(fx.file)) {
            state.SkipWithError("cannot open log");
            return;
        }
        FrameBuffer buf{};
        int count = 0;
        std::int32_t stamp = 0;
        int n = 0;
        while (r.ReadLogLine(buf, count, stamp)) {
            benchmark::DoNotOptimize(buf.data());
            ++n;
        }
        if (n != kLines || count != kFrame) {
            state.SkipWithError("wrong line count");
            return;
        }
        lines += n;
    }
    state.SetItemsProcessed(lines);
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadLog100k)->Unit(benchmark::kMillisecond);

void BM_ParseLogLine(benchmark::State& state)
{
    FrameBuffer f = SampleFrame(3);
    std::string line = FormatLogLine(123456, f.data(), kFrame);
    FrameBuffer buf{};
    std::int32_t stamp = 0;
    for (auto _ : state) {
        int n = ParseLogLine(line, buf, stamp);
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseLogLine);

void BM_FormatLogLine(benchmark::State& state)
{
    FrameBuffer f = SampleFrame(5);
    for (auto _ : state) {
        std::string s = FormatLogLine(123456, f.data(), kFrame);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatLogLine);

// Recording: one line per frame into a growing file, as the window writes
// them; the syncs to disk (at most two a second) are part of the cost.
void BM_WriteLogLine(benchmark::State& state)
{
    TempFolder dir("benchlogw");
    TLogWriter w;
    if (!w.Create(dir.Path("w.alg"))) {
        state.SkipWithError("cannot create log");
        return;
    }
    FrameBuffer f = SampleFrame(7);
    std::int32_t stamp = 0;
    for (auto _ : state) w.WriteLogLine(stamp += 80, f.data(), kFrame);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteLogLine)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
