// The whole window offscreen: one decoded frame into tables and charts, a
// fast replay with the charts showing, and live frames against the paced
// simulated ECM compared with what the 8192-baud line allows.
#include "definitions/Sgrid.h"
#include "link/LogFile.h"
#include "tests/support/EcmSim.h"
#include "tests/support/ScriptedDialogs.h"
#include "ui/Main.h"

#include "bench/QtBenchMain.h"
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fstream>
#include <QAction>
#include <QPlainTextEdit>

namespace {

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

void Load(ScriptedDialogs& dialogs, TfrmMain& w, const char* file)
{
    dialogs.QueueFile(std::string(EXAMPLES_DIR) + "/" + file);
    w.Open1Click(); // the header fields too: request, echo, port
    w.txtInterval->setText("0");
}

FrameBuffer Frame(std::uint32_t seed)
{
    FrameBuffer f{};
    for (int i = 0; i < 60; ++i) {
        seed = seed * 1664525u + 1013904223u;
        f[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(seed >> 24);
    }
    return f;
}

void BM_DecodeFrameIntoWindow(benchmark::State& state)
{
    ScriptedDialogs dialogs;
    TfrmMain w;
    w.show();
    Load(dialogs, w, "sixty.ald");
    state.counters["words"] = w.Aldl.Count();
    w.tabMain->setCurrentWidget(state.range(0) ? w.Charts : w.Stream);
    std::vector<FrameBuffer> frames;
    for (std::uint32_t i = 0; i < 64; ++i) frames.push_back(Frame(i));
    std::size_t k = 0;
    for (auto _ : state) {
        w.DecodeFrame(frames[k++ & 63], 60);
        // The loop's turn of event processing, where any due repaint happens.
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeFrameIntoWindow)->Arg(0)->Arg(1)->ArgName("charts")->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_ReplayTwentyThousandLines(benchmark::State& state)
{
    QTemporaryDir dir;
    const std::string log = dir.filePath("replay.alg").toStdString();
    {
        TLogWriter out;
        out.Create(log);
        for (int i = 0; i < 20000; ++i) {
            FrameBuffer f = Frame(static_cast<std::uint32_t>(i));
            f[18] = static_cast<std::uint8_t>(i);
            out.WriteLogLine(i * 80, f.data(), 57);
        }
    }
    for (auto _ : state) {
        ScriptedDialogs dialogs;
        TfrmMain w;
        w.show();
        Load(dialogs, w, "ecmsim.ald");
        w.tabMain->setCurrentWidget(w.Charts);
        dialogs.QueueFile(log);
        const auto t0 = std::chrono::steady_clock::now();
        w.btnPlayClick(); // returns at the end of the log
        const double s = Seconds(t0, std::chrono::steady_clock::now());
        state.SetIterationTime(s);
        state.counters["frames_per_s"] = 20000 / s;
        state.counters["chart_samples"] = w.chart1->Series().GetValue(1, 1) != NoValue;
    }
}
BENCHMARK(BM_ReplayTwentyThousandLines)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_LiveFramesAgainstLine(benchmark::State& state)
{
    // Request (4 bytes + checksum) and its echo share the wire, then 60 reply bytes: 65 byte times.
    const double lineFrameSeconds = 65 * 10 / 8192.0;
    for (auto _ : state) {
        QTemporaryDir dir;
        const std::string log = dir.filePath("live.alg").toStdString();
        EcmSim sim({"--quiet"});
        ScriptedDialogs dialogs;
        TfrmMain w;
        w.show();
        Load(dialogs, w, "ecmsim.ald");
        w.tabMain->setCurrentWidget(w.Charts);
        dialogs.QueueFile(log);
        w.Logging1Click();
        QTimer::singleShot(5000, &w, [&w] { w.btnStopClick(); });
        const auto t0 = std::chrono::steady_clock::now();
        w.btnRecordClick();
        const double s = Seconds(t0, std::chrono::steady_clock::now());
        w.Logging1Click();
        std::ifstream in(log, std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), {});
        const double frames = static_cast<double>(std::count(all.begin(), all.end(), '\n'));
        for (const auto& m : dialogs.Messages()) state.SkipWithError(m.c_str());
        state.SetIterationTime(s);
        state.counters["frames_per_s"] = frames / s;
        state.counters["line_max_per_s"] = 1 / lineFrameSeconds;
        state.counters["ratio"] = frames / s * lineFrameSeconds;
    }
}
BENCHMARK(BM_LiveFramesAgainstLine)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

DIDUVUVE_QT_BENCHMARK_MAIN()
