// Exchange time against the time the bytes need on the 8192-baud wire.
// On the one-wire line the echo is the request itself, so the wire carries
// request (= echo) and reply: 5 + 60 byte times of 10 bits each.
#include "decode/Hex.h"
#include "link/AldlExchange.h"
#include "serilink/serilink.h"
#include "tests/support/EcmSim.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

void Exchange(benchmark::State& state, std::vector<std::string> options, bool echo)
{
    EcmSim sim(options);
    if (scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1") != 0 || scTimeOut(20, 10, 50) != 0) {
        state.SkipWithError(scErrText());
        return;
    }
    FrameBuffer frame{};
    const int requestBytes = 5;
    const int replyBytes = 3 + 57;
    const double lineS = (requestBytes + replyBytes) * 10.0 / 8192.0;
    long failures = 0;
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        const int r = AldlExchange("F4 57 01 00", echo, frame.data(), FrameLast);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        total += s;
        state.SetIterationTime(s);
        if (r != 57)
            ++failures;
    }
    scDone();
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["line_ms"] = lineS * 1000;
    state.counters["exchange_ms"] = mean * 1000;
    state.counters["efficiency"] = lineS / mean;
    state.counters["frames_per_s"] = 1 / mean;
    state.counters["failures"] = static_cast<double>(failures);
}

void BM_ExchangePaced(benchmark::State& state)
{
    Exchange(state, {"--reply-delay", "0"}, true);
}

void BM_ExchangePacedEcmDelay1ms(benchmark::State& state)
{
    Exchange(state, {"--reply-delay", "1"}, true);
}

} // namespace

BENCHMARK(BM_ExchangePaced)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_ExchangePacedEcmDelay1ms)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK_MAIN();
