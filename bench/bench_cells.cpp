// Cell tables: BLM over RPM x MAP of a one-hour log (40,000 frames, target
// under 50 ms), and the --cells path over a million log lines (read, decode,
// bin; target 500,000 frames/s).
#include "app/csv/CellExport.h"
#include "link/LogFile.h"

#include "bench/BenchFiles.h"

#include <benchmark/benchmark.h>

namespace {

const char* const kAxes = "X=RPM:400,800,1200,1600,2000,2400,2800,3200,3600,4000,4800,5600;"
                          "Y=MAP:20,30,40,50,60,70,80,90,100;Z=BLM";
const char* const kWhere = "CL=Closed,CLT>=80";

TDefinition Definition()
{
    TDefinition def;
    std::string error;
    if (!LoadDefinitionFile(EXAMPLES_DIR "/ecmsim.ald", def, error)) throw std::runtime_error(error);
    return def;
}

// A simulator-like 20-byte frame: engine speed, load and block learn wander.
void Frame(FrameBuffer& f, std::uint32_t& seed, int i)
{
    seed = seed * 1664525u + 1013904223u;
    f.fill(0);
    const int rpm4 = 3200 + static_cast<int>((i * 37 + (seed >> 20)) % 16000);
    f[3] = static_cast<std::uint8_t>(rpm4 >> 8), f[4] = static_cast<std::uint8_t>(rpm4);
    f[2] = static_cast<std::uint8_t>(160 + (seed >> 29));            // coolant 80 .. 85
    f[6] = static_cast<std::uint8_t>(20 + (seed >> 8) % 200);         // MAP
    f[10] = static_cast<std::uint8_t>((seed >> 12) & 1);              // closed loop
    f[16] = static_cast<std::uint8_t>(118 + (seed >> 16) % 20);       // BLM
    for (int b = 17; b < 20; ++b) f[b] = static_cast<std::uint8_t>(seed >> b);
}

void BM_CellTableOneHour(benchmark::State& state)
{
    const TDefinition def = Definition();
    TCellExport cells(def);
    TCellArgs args;
    args.Cells = kAxes, args.Where = kWhere;
    std::string error;
    if (!cells.Setup(args, error)) throw std::runtime_error(error);
    // Decoded as the window decodes each replayed frame; the table build is what is timed.
    TAldl aldl;
    for (const auto& row : def.Words) aldl.Add(row);
    std::vector<FrameBuffer> frames(40000);
    std::uint32_t seed = 7;
    for (int i = 0; i < 40000; ++i) Frame(frames[static_cast<std::size_t>(i)], seed, i);
    for (auto _ : state) {
        TCellExport t(def);
        t.Setup(args, error);
        for (const FrameBuffer& f : frames) t.AddLine(f, 20);
        benchmark::DoNotOptimize(t.Table().Counted());
    }
    state.SetItemsProcessed(state.iterations() * 40000);
}
BENCHMARK(BM_CellTableOneHour)->Unit(benchmark::kMillisecond);

struct LogFixture : TempLog {
    static constexpr int kLines = 1000000;
    LogFixture() : TempLog("benchcells", kLines, 20, 90, [seed = 7u](int i, FrameBuffer& f) mutable { Frame(f, seed, i); }) {}
};

// What diduvuve-csv --cells does for a log: read every line, decode, bin.
void BM_CellsMillionLines(benchmark::State& state)
{
    static LogFixture fx;
    const TDefinition def = Definition();
    TCellArgs args;
    args.Cells = kAxes, args.Where = kWhere;
    std::string error, out;
    for (auto _ : state) {
        TCellExport cells(def);
        if (!cells.Setup(args, error)) throw std::runtime_error(error);
        TLogReader log;
        if (!log.Open(fx.file)) throw std::runtime_error("cannot open " + fx.file);
        FrameBuffer frame{};
        int count = 0;
        std::int32_t stamp = 0;
        while (log.ReadLogLine(frame, count, stamp)) cells.AddLine(frame, count);
        out.clear();
        cells.Append(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(LogFixture::kLines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CellsMillionLines)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
