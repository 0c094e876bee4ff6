// Cost of one chart sample: four live traces on a 1024 x 256 chart, the
// legend, and every Speed samples the scroll (with its event-loop turn).
#include <benchmark/benchmark.h>

#include "bench/QtBenchMain.h"
#include <cmath>

#include "ui/Chart.h"

namespace {

void BM_AddPoints(benchmark::State& state)
{
    TLxChart chart;
    chart.resize(1024, 256);
    chart.show();
    QCoreApplication::processEvents();
    long i = 0;
    for (auto _ : state) {
        long double t = i * 0.05L;
        ChartSample s{128 + 100 * std::sin(t), static_cast<long double>(i % 256),
                      128 + 60 * std::cos(t * 0.7L), static_cast<long double>(40 + i % 50)};
        chart.AddPoints(s);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());  // Time is the cost per sample
}
BENCHMARK(BM_AddPoints)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_Redraw(benchmark::State& state)
{
    TLxChart chart;
    chart.resize(1024, 256);
    chart.show();
    QCoreApplication::processEvents();
    for (int i = 0; i < 1024; ++i)
        chart.AddPoints({128 + 100 * std::sin(i * 0.05L), static_cast<long double>(i % 256), 60, 200});
    for (auto _ : state) chart.Redraw();
}
BENCHMARK(BM_Redraw)->Unit(benchmark::kMicrosecond);

}  // namespace

DIDUVUVE_QT_BENCHMARK_MAIN()
