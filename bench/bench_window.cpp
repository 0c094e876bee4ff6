// The whole window offscreen: one decoded frame into tables and charts, a
// fast replay with the charts showing, live frames against the paced
// simulated ECM compared with what the 8192-baud line allows, and live
// frames through the VT body module's chatter with the link settings of
// examples/holden-vt-vy-link.ald against the same ECM on a quiet bus
// (target: at least 0.9 of the quiet rate).
#include "bench/BenchFiles.h"
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

void Load(ScriptedDialogs& dialogs, TfrmMain& w, const std::string& file)
{
    dialogs.QueueFile(file.find('/') == std::string::npos ? std::string(EXAMPLES_DIR) + "/" + file : file);
    w.Open1Click(); // the header fields too: request, echo, port
    w.txtInterval->setText("0");
}

// The window with a definition open, the charts showing and `log` the next
// file the dialogs give.
struct ChartWindow {
    ScriptedDialogs dialogs;
    TfrmMain w;
    ChartWindow(const std::string& definition, const std::string& log)
    {
        w.show();
        Load(dialogs, w, definition);
        w.tabMain->setCurrentWidget(w.Charts);
        dialogs.QueueFile(log);
    }
    // A live run recorded for `ms`; its length in seconds.
    double Record(int ms)
    {
        w.Logging1Click();
        QTimer::singleShot(ms, &w, [this] { w.btnStopClick(); });
        const auto t0 = std::chrono::steady_clock::now();
        w.btnRecordClick();
        const double s = Seconds(t0, std::chrono::steady_clock::now());
        w.Logging1Click();
        return s;
    }
};

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
        ChartWindow cw("ecmsim.ald", log);
        TfrmMain& w = cw.w;
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
        ChartWindow cw("ecmsim.ald", log);
        const double s = cw.Record(5000);
        const std::string all = FileText(log);
        const double frames = static_cast<double>(std::count(all.begin(), all.end(), '\n'));
        for (const auto& m : cw.dialogs.Messages()) state.SkipWithError(m.c_str());
        state.SetIterationTime(s);
        state.counters["frames_per_s"] = frames / s;
        state.counters["line_max_per_s"] = 1 / lineFrameSeconds;
        state.counters["ratio"] = frames / s * lineFrameSeconds;
    }
}
BENCHMARK(BM_LiveFramesAgainstLine)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_LiveFramesThroughVtChatter(benchmark::State& state)
{
    // Long enough for several renewals of the silence (every 2 s).
    constexpr int kMs = 12000;
    TempFolder dir("benchwindowvt");
    for (auto _ : state) {
        double rate[2] = {};
        double wall = 0;
        for (int chatter = 0; chatter < 2; ++chatter) {
            const std::string log = dir.Path(chatter ? "chatter.alg" : "quiet.alg");
            EcmSim sim(chatter ? std::vector<std::string>{"--chatter", "vt", "--quiet"} : std::vector<std::string>{"--quiet"});
            ChartWindow cw(SimulatorDefinition(dir, EXAMPLES_DIR, chatter), log);
            wall += cw.Record(kMs);
            for (const auto& m : cw.dialogs.Messages()) state.SkipWithError(m.c_str());
            rate[chatter] = LogRate(log);
        }
        state.SetIterationTime(wall);
        state.counters["quiet frames/s"] = rate[0];
        state.counters["chatter frames/s"] = rate[1];
        state.counters["ratio"] = rate[0] > 0 ? rate[1] / rate[0] : 0;
    }
}
BENCHMARK(BM_LiveFramesThroughVtChatter)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

DIDUVUVE_QT_BENCHMARK_MAIN()
