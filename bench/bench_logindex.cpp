// Seeking in a 1 GB log: the index built over the whole file (target under
// 5 s) and a seek by log time anywhere in it, reader positioned and the line
// read (target under 50 ms). The log is written to a temporary folder first
// and removed afterwards. DIDUVUVE_BENCH_LOG_MB sets another size.
#include "link/LogFile.h"
#include "link/LogIndex.h"

#include "bench/BenchFiles.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

struct BigLog : TempFolder {
    std::string file = Path("big.alg");
    std::int64_t bytes = 0;
    BigLog() : TempFolder("benchindex")
    {
        const char* mb = std::getenv("DIDUVUVE_BENCH_LOG_MB");
        const std::int64_t target = (mb ? std::atoll(mb) : 1024) << 20;
        std::FILE* f = std::fopen(file.c_str(), "wb");
        if (!f) throw std::runtime_error("cannot create " + file);
        FrameBuffer frame{};
        std::uint32_t seed = 1;
        std::string chunk;
        std::int32_t stamp = 0;
        for (std::int64_t i = 0; bytes < target; ++i) {
            for (int b = 0; b < 20; ++b) {
                seed = seed * 1664525u + 1013904223u;
                frame[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(seed >> 24);
            }
            stamp = i % 2000000 == 0 ? 0 : stamp + 90; // a new run now and then
            chunk += FormatLogLine(stamp, frame.data(), 20);
            chunk += "\r\n";
            if (chunk.size() > (1 << 20)) {
                bytes += static_cast<std::int64_t>(std::fwrite(chunk.data(), 1, chunk.size(), f));
                chunk.clear();
            }
        }
        bytes += static_cast<std::int64_t>(std::fwrite(chunk.data(), 1, chunk.size(), f));
        if (std::fclose(f) != 0) throw std::runtime_error("cannot write " + file);
    }
};

BigLog& Log()
{
    static BigLog log;
    return log;
}

void BM_IndexOneGigabyte(benchmark::State& state)
{
    BigLog& log = Log();
    std::size_t memory = 0;
    std::int64_t lines = 0;
    for (auto _ : state) {
        TLogIndex index;
        if (!index.Open(log.file)) throw std::runtime_error("cannot open " + log.file);
        index.Build();
        memory = index.MemoryBytes();
        lines = index.Lines();
    }
    state.counters["MB"] = static_cast<double>(log.bytes) / (1 << 20);
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["index KB"] = static_cast<double>(memory) / 1024;
    state.SetBytesProcessed(state.iterations() * log.bytes);
}
BENCHMARK(BM_IndexOneGigabyte)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_SeekOneGigabyte(benchmark::State& state)
{
    BigLog& log = Log();
    static TLogIndex index;
    if (!index.IsOpen()) {
        index.Open(log.file);
        index.Build();
    }
    TLogReader reader;
    if (!reader.Open(log.file)) throw std::runtime_error("cannot open " + log.file);
    std::uint32_t seed = 99;
    FrameBuffer frame{};
    int count = 0;
    std::int32_t stamp = 0;
    for (auto _ : state) {
        seed = seed * 1664525u + 1013904223u;
        const std::int64_t ms = index.TotalMs() * (seed >> 8) / (1 << 24);
        TLogPlace p;
        if (!index.SeekTime(ms, p) || !reader.Seek(p.Pos) || !reader.ReadLogLine(frame, count, stamp))
            throw std::runtime_error("seek failed");
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_SeekOneGigabyte)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
