// The Log Analysis page and paced replay:
// - the overview of a million frames, four words, drawn from min/max per
//   pixel column (target under 100 ms);
// - replay "As recorded": how far each frame comes from its stamp's time
//   (target within 5 ms), measured on the window's raw view.
#include "bench/QtBenchMain.h"
#include "link/LogFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "ui/LogAnalysis.h"
#include "ui/Main.h"

#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextDocument>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

void BM_OverviewMillionFrames(benchmark::State& state)
{
    TOverviewData data;
    for (int s = 0; s < 4; ++s) {
        data.Names[static_cast<std::size_t>(s)] = "W" + std::to_string(s);
        data.Lo[static_cast<std::size_t>(s)] = 0, data.Hi[static_cast<std::size_t>(s)] = 255;
    }
    for (int i = 0; i < 1000000; ++i)
        data.Add(i * 90LL, {static_cast<float>(128 + 100 * std::sin(i * 1e-3)), static_cast<float>(i % 255),
                            static_cast<float>((i * 7) % 200), static_cast<float>(128 + (i % 13))});
    TLxOverview view(data);
    view.resize(1200, 200);
    QImage img(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.render(&img);
        benchmark::DoNotOptimize(img.bits());
    }
}
BENCHMARK(BM_OverviewMillionFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReplayAsRecordedSpread(benchmark::State& state)
{
    const char* t = std::getenv("TMPDIR");
    std::string dir = std::string(t && *t ? t : "/tmp") + "/benchpace-XXXXXX";
    if (!::mkdtemp(dir.data())) throw std::runtime_error("mkdtemp failed");
    const std::string log = dir + "/pace.alg";
    constexpr int kFrames = 150, kStep = 20;
    {
        TLogWriter w;
        if (!w.Create(log)) throw std::runtime_error("cannot create " + log);
        FrameBuffer f{};
        for (int i = 0; i < kFrames; ++i) w.WriteLogLine(i * kStep, f.data(), 20);
    }
    ScriptedDialogs dialogs;
    TfrmMain w;
    dialogs.QueueFile(EXAMPLES_DIR "/ecmsim.ald");
    w.Open1Click();
    w.tabMain->setCurrentWidget(w.Raw);
    w.SetPace(1);
    double worst = 0, sum = 0;
    std::int64_t frames = 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        // When each frame reached the raw view, with its place in the log's time.
        std::vector<std::pair<Clock::time_point, std::int64_t>> at;
        std::int64_t lastLine = -1;
        auto c = QObject::connect(w.memRecv->document(), &QTextDocument::contentsChanged, [&] {
            const TLogPlace& p = w.replayCursor.Shown();
            if (p.Line == lastLine || p.Line < 0) return;
            lastLine = p.Line;
            at.emplace_back(Clock::now(), p.Time);
        });
        dialogs.QueueFile(log);
        w.btnPlayClick(); // returns at the end of the log
        QObject::disconnect(c);
        for (const auto& [when, time] : at) {
            const double real = std::chrono::duration<double, std::milli>(when - at[0].first).count();
            const double due = static_cast<double>(time - at[0].second);
            worst = std::max(worst, std::abs(real - due));
            sum += std::abs(real - due);
            ++frames;
        }
    }
    state.counters["worst ms"] = worst;
    state.counters["mean ms"] = frames ? sum / static_cast<double>(frames) : 0;
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ReplayAsRecordedSpread)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace

DIDUVUVE_QT_BENCHMARK_MAIN();
