// CSV export: 100,000 log lines of 60-byte frames read back and written as
// CSV through the 60-word example definition (target: 250,000 lines/s).
#include "app/csv/CsvExport.h"
#include "link/LogFile.h"

#include "bench/BenchFiles.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kLines = 100000;
constexpr int kFrame = 60;

struct Fixture : TempLog {
    TDefinition def;
    Fixture()
        : TempLog("benchcsv", kLines, kFrame, 80, [seed = 12345u](int, FrameBuffer& f) mutable {
              for (int b = 0; b < kFrame; ++b) {
                  seed = seed * 1664525u + 1013904223u;
                  f[b] = static_cast<std::uint8_t>(seed >> 24);
              }
          })
    {
        std::string error;
        if (!LoadDefinitionFile(EXAMPLES_DIR "/sixty.ald", def, error)) throw std::runtime_error(error);
    }
};

void Run(benchmark::State& state, TCsvOptions options)
{
    static Fixture fx;
    TCsvExport csv(fx.def, options);
    std::string out;
    out.reserve(1 << 17);
    for (auto _ : state) {
        TLogReader log;
        if (!log.Open(fx.file)) throw std::runtime_error("cannot open " + fx.file);
        FrameBuffer frame{};
        int count = 0;
        std::int32_t stamp = 0;
        std::size_t bytes = 0;
        out.clear();
        csv.AppendHeader(out);
        while (log.ReadLogLine(frame, count, stamp)) {
            csv.AppendLine(out, stamp, frame, count);
            if (out.size() >= (1 << 16)) {
                bytes += out.size();
                benchmark::DoNotOptimize(out.data());
                out.clear();
            }
        }
        benchmark::DoNotOptimize(bytes += out.size());
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(kLines), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_CsvSixtyWords100k(benchmark::State& state) { Run(state, {}); }
BENCHMARK(BM_CsvSixtyWords100k)->Unit(benchmark::kMillisecond);

void BM_CsvSixtyWords100kRaw(benchmark::State& state) { Run(state, {false, true}); }
BENCHMARK(BM_CsvSixtyWords100kRaw)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
