// Frames per second of a live run on a quiet line and through the VT body
// module's chatter with the link settings of examples/holden-vt-vy-link.ald
// (the same reading code the window and the logger use), and how long the
// probe takes beyond its listening time.
#include "decode/Hex.h"
#include "link/BusLink.h"
#include "link/Probe.h"
#include "serilink/serilink.h"
#include "tests/support/EcmSim.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

void Run(benchmark::State& state, std::vector<std::string> options, const TLinkSettings& link)
{
    options.push_back("--quiet");
    EcmSim sim(options);
    if (scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1") != 0 || scTimeOut(20, 10, 50) != 0) {
        state.SkipWithError(scErrText());
        return;
    }
    TBusLink bus(link);
    long good = 0, failed = 0;
    double seconds = 0;
    for (auto _ : state) {
        bus.Start();
        const auto t0 = Clock::now();
        // long enough for the body module to wake and be silenced again
        while (Clock::now() - t0 < std::chrono::seconds(8)) {
            FrameBuffer frame{};
            const TLiveFrame f = bus.ReadFrame({"F4 57 01 00"}, true, frame, 0);
            (f.Count > 0 ? good : failed) += 1;
        }
        bus.Stop();
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        seconds += s;
        state.SetIterationTime(s);
    }
    scDone();
    state.counters["frames_per_s"] = static_cast<double>(good) / seconds;
    state.counters["failed"] = static_cast<double>(failed);
    state.counters["skipped"] = static_cast<double>(bus.Skipped());
    state.counters["bursts"] = static_cast<double>(bus.Bursts());
}

void BM_QuietLine(benchmark::State& state) { Run(state, {}, {}); }

void BM_VtChatterWithLinkSettings(benchmark::State& state)
{
    const TLinkSettings s = LoadLinkSettings(EXAMPLES_DIR "/holden-vt-vy-link.ald");
    if (!s.Present) state.SkipWithError("no link settings in the example");
    Run(state, {"--chatter", "vt"}, s);
}

void BM_Probe(benchmark::State& state)
{
    EcmSim sim({"--chatter", state.range(0) ? "vt" : "none", "--quiet"});
    if (scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1") != 0 || scTimeOut(20, 10, 50) != 0) {
        state.SkipWithError(scErrText());
        return;
    }
    double over = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const TProbeReport r = RunProbe(3000);
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        over = s - 3.0;
        if (r.EcmId != 0xF4) state.SkipWithError("no ECM found");
    }
    scDone();
    state.counters["beyond_listen_s"] = over;
}

} // namespace

BENCHMARK(BM_QuietLine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_VtChatterWithLinkSettings)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Probe)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
