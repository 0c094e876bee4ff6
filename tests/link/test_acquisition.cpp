// Live reading and replay end to end: the window offscreen, the simulated ECM
// on a pseudo-terminal reached as COM1.
#include "decode/Hex.h"
#include "definitions/Sgrid.h"
#include "link/LogFile.h"
#include "tests/support/EcmSim.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowFixture.h"
#include "tools/ecmsim/EngineModel.h"
#include "ui/Main.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include <fstream>
#include <functional>

namespace {

std::string S(const QString& q) { return q.toStdString(); }

QStringList RawLines(TfrmMain& w) { return w.memRecv->toPlainText().split('\n', Qt::SkipEmptyParts); }

// Bytes of a raw view line "stamp,b,b,..." in decimal.
FrameBuffer BytesOf(const QString& line, int& count)
{
    FrameBuffer f{};
    count = DecToBytes(S(line.mid(line.indexOf(',') + 1)), f.data(), FrameLast);
    return f;
}

// A log of one line per count, bytes 0 except byte 19 = line number.
void WriteLog(const std::string& path, std::initializer_list<int> counts)
{
    TLogWriter out;
    QVERIFY(out.Create(path));
    FrameBuffer f{};
    int i = 0;
    for (int n : counts) {
        f[18] = static_cast<std::uint8_t>(i);
        out.WriteLogLine(100 * i++, f.data(), n);
    }
}

std::vector<std::string> FileLines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::string> lines;
    std::size_t p = 0;
    while (p < all.size()) {
        std::size_t e = all.find("\r\n", p);
        if (e == std::string::npos) e = all.size();
        lines.push_back(all.substr(p, e - p));
        p = e + 2;
    }
    return lines;
}

} // namespace

class TestAcquisition : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> fx;
    ScriptedDialogs* dialogs = nullptr;
    TfrmMain* w = nullptr;
    bool watchdogFired = false;

    std::string Tmp(const char* name) { return fx->Tmp(name); }

    // Runs `start` (a command that holds the loop) and calls `during` after
    // `ms`; a watchdog stops a run that never ends so no test hangs.
    void Run(const std::function<void()>& start, int ms, const std::function<void()>& during)
    {
        watchdogFired = false;
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, [this] {
            watchdogFired = true;
            w->btnStopClick();
        });
        guard.start(15000);
        if (during) QTimer::singleShot(ms, this, during);
        start();
    }
    void LiveFor(int ms)
    {
        Run([this] { w->btnRecordClick(); }, ms, [this] { w->btnStopClick(); });
        QVERIFY(!watchdogFired);
    }

    void CheckState(const char* name, bool stop, bool pause, bool advance, bool start)
    {
        QVERIFY2(!w->btnRewind->isEnabled() && !w->Rewind1->isEnabled(), name);
        QVERIFY2(w->btnStop->isEnabled() == stop && w->Stop1->isEnabled() == stop, name);
        QVERIFY2(w->btnPause->isEnabled() == pause && w->Pause1->isEnabled() == pause, name);
        QVERIFY2(w->btnAdvance->isEnabled() == advance && w->Advance1->isEnabled() == advance, name);
        QVERIFY2(w->btnPlay->isEnabled() == start && w->Play1->isEnabled() == start, name);
        QVERIFY2(w->btnRecord->isEnabled() == start && w->Record1->isEnabled() == start, name);
        QVERIFY2(w->Logging1->isEnabled() == start, name);
        QVERIFY2(w->File1->menuAction()->isEnabled() == start, name);
        QVERIFY2(w->View1->menuAction()->isEnabled() == start, name);
        QVERIFY2(w->Help1->menuAction()->isEnabled() == start, name);
        QVERIFY2(w->aldl->isEnabled() == start, name);
        QVERIFY2(w->Hexidecimal1->isEnabled() && w->ResetFailCounts1->isEnabled(), name);
    }

private slots:
    void init()
    {
        fx = std::make_unique<WindowFixture>(EXAMPLES_DIR "/ecmsim.ald");
        w = fx->w;
        dialogs = &fx->dialogs;
        QCOMPARE(w->sgData->RowCount() > 2, true);
        w->txtInterval->setText("0");
        w->RawALDLData1Click();
    }
    void cleanup() { WindowFixture::End(fx); }

    void liveRunShowsWhatTheEcmSent()
    {
        // Paced as on the car, so the frame counter has not wrapped yet.
        EcmSim sim({"--seed", "7", "--quiet"});
        LiveFor(700);
        QVERIFY(!w->comsOpen);
        CheckState("idle after stop", false, false, false, true);
        QCOMPARE(w->txtSend->text(), QString("F4 57 01 00")); // copied from the definition
        const QStringList lines = RawLines(*w);
        QVERIFY(lines.size() > 3);
        QVERIFY(lines.size() <= 24);
        int count = 0;
        const FrameBuffer last = BytesOf(lines.back(), count);
        QCOMPARE(count, 57);
        // The frame counter says which reply this was; the model says what it held.
        EngineModel model(7);
        for (int k = 0; k < last[18]; ++k) {
            model.Advance(0.08);
            model.NextFrame();
        }
        const auto data = model.Data(56);
        QCOMPARE(std::vector<std::uint8_t>(last.begin(), last.begin() + 56), data);
        // Every table row shows the last frame decoded.
        int dataRow = 1, malfRow = 1;
        for (int i = 0; i < w->Aldl.Count(); ++i) {
            const TDisplay& d = w->Aldl.Items(i);
            const std::int32_t raw = RawWord(last.data(), FrameLast, d.StartByte, d.StartBit, d.Bits);
            TLxSgrid* g = d.Display == DisplayKind::Flag ? w->sgMalf : w->sgData;
            int& row = d.Display == DisplayKind::Flag ? malfRow : dataRow;
            QCOMPARE(g->Cells(2, row), std::to_string(raw));
            if (d.Display != DisplayKind::Flag) QCOMPARE(g->Cells(3, row), NumberToText(raw * d.Factor + d.Offset));
            if (d.Chart >= 1 && d.Chart <= 3 && d.Series >= 1 && d.Series <= 4 && d.Display != DisplayKind::Flag)
                QCOMPARE(double(w->Chart(d.Chart)->Series().GetValue(d.Series, 1)), double(raw * d.Factor + d.Offset));
            ++row;
        }
    }

    void recordingThenReplayGivesTheSameTables()
    {
        const std::string log = Tmp("run.alg");
        {
            EcmSim sim({"--seed", "3", "--no-pace", "--quiet"});
            dialogs->QueueFile(log);
            w->Logging1Click();
            QVERIFY(w->Logging1->isChecked());
            w->Hexidecimal1->setChecked(true); // the log stays decimal
            LiveFor(600);
        }
        w->Logging1Click();
        QVERIFY(!w->Logging1->isChecked());
        const QStringList raw = RawLines(*w);
        QVERIFY(QRegularExpression("^\\d{6},[0-9A-F]{2}(,[0-9A-F]{2})+$").match(raw.back()).hasMatch());
        const auto lines = FileLines(log);
        QVERIFY(lines.size() > 3);
        // One line per good frame, in order, nothing missing: the counter byte runs on by one.
        for (std::size_t i = 0; i < lines.size(); ++i) {
            FrameBuffer f{};
            std::int32_t stamp = 0;
            QCOMPARE(ParseLogLine(lines[i], f, stamp), 57);
            QCOMPARE(int(f[18]), int(i % 256));
            QVERIFY(QRegularExpression("^\\d{6},( {0,2}\\d{1,3},){56} {0,2}\\d{1,3}$")
                        .match(QString::fromStdString(lines[i]))
                        .hasMatch());
        }
        auto snapshot = [this] {
            std::vector<std::string> cells;
            for (TLxSgrid* g : {w->sgData, w->sgMalf})
                for (int r = 1; r < g->RowCount(); ++r)
                    for (int c = 0; c < g->ColCount(); ++c) cells.push_back(g->Cells(c, r));
            return cells;
        };
        const auto live = snapshot();
        w->SetUpDisplays();
        dialogs->QueueFile(log);
        Run([this] { w->btnPlayClick(); }, 0, nullptr); // ends by itself at the end of the log
        QVERIFY(!watchdogFired);
        QVERIFY(!w->playing && !w->running);
        CheckState("idle after replay", false, false, false, true);
        QCOMPARE(snapshot(), live);
        QCOMPARE(RawLines(*w).size(), std::min<qsizetype>(24, static_cast<qsizetype>(lines.size())));
    }

    void failedExchangesShowAndTheRunGoesOn_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("text");
        QTest::newRow("drop") << QStringList{"--drop"} << "Reply header was not received.";
        // Without an echo the reply itself is read as the echo.
        QTest::newRow("no echo") << QStringList{"--no-echo"} << "Request was not echoed.";
        QTest::newRow("wrong echo") << QStringList{"--wrong-echo"} << "Request was not echoed.";
        QTest::newRow("length 84") << QStringList{"--length-byte", "84"} << "Header contained invalid length.";
        QTest::newRow("length 85") << QStringList{"--length-byte", "85"} << "Can't read from COM port. No data available.";
    }
    void failedExchangesShowAndTheRunGoesOn()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, text);
        std::vector<std::string> o{"--no-pace", "--quiet", "--fault-every", "2"};
        for (const QString& s : options) o.push_back(S(s));
        EcmSim sim(o);
        LiveFor(900);
        const QStringList lines = RawLines(*w);
        const QRegularExpression failure("^\\d{6}," + QRegularExpression::escape(text) + "$");
        const QRegularExpression good("^\\d{6},( {0,2}\\d{1,3},){56} {0,2}\\d{1,3}$");
        int failures = 0, goods = 0, afterFailure = 0;
        for (const QString& l : lines) {
            if (failure.match(l).hasMatch()) ++failures;
            else if (good.match(l).hasMatch()) {
                ++goods;
                if (failures) ++afterFailure;
            }
        }
        QVERIFY2(failures > 0, qPrintable(lines.join(" | ")));
        QVERIFY2(afterFailure > 0, "the run goes on after a failed exchange");
        QVERIFY(dialogs->Messages().empty());
    }

    void hangUpLeavesTheWindowResponsive()
    {
        EcmSim sim({"--no-pace", "--quiet", "--hangup-after", "3"});
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(20);
        LiveFor(800);
        QVERIFY2(ticks > 10, "events keep flowing while the line is dead");
        QVERIFY(!w->comsOpen);
        const QStringList lines = RawLines(*w);
        QVERIFY(lines.back().contains("Can't"));
        CheckState("idle", false, false, false, true);
    }

    void pauseAdvanceAndStop()
    {
        EcmSim sim({"--no-pace", "--quiet"});
        // A second Pause before the loop has unwound must not start a loop inside it.
        Run([this] { w->btnRecordClick(); }, 300, [this] {
            w->btnPauseClick();
            w->btnPauseClick();
            w->btnAdvanceClick();
        });
        // The loop has unwound: paused, port closed.
        QVERIFY(!w->running && w->reading && !w->comsOpen);
        CheckState("paused", true, true, true, false);
        w->memRecv->clear();
        w->btnAdvanceClick();
        QCOMPARE(RawLines(*w).size(), qsizetype(1)); // one frame, then the port closes again
        QVERIFY(!w->comsOpen);
        CheckState("still paused", true, true, true, false);
        // Resume, then stop from inside the run.
        Run([this] { w->btnPauseClick(); }, 200, [this] {
            CheckState("running", true, true, false, false);
            QVERIFY(w->comsOpen);
            w->btnStopClick();
        });
        QVERIFY(!w->comsOpen);
        CheckState("idle", false, false, false, true);
    }

    void replayOfNLinesEndsByItself()
    {
        const std::string log = Tmp("five.alg");
        {
            TLogWriter out;
            QVERIFY(out.Create(log));
            FrameBuffer f{};
            for (int i = 0; i < 5; ++i) {
                f[18] = static_cast<std::uint8_t>(i);
                out.WriteLogLine(100 * i, f.data(), 57);
            }
        }
        w->txtInterval->setText("-5"); // taken as no pause
        dialogs->QueueFile(log);
        Run([this] { w->btnPlayClick(); }, 0, nullptr);
        QVERIFY(!watchdogFired);
        const QStringList lines = RawLines(*w);
        QCOMPARE(lines.size(), qsizetype(5));
        QVERIFY(lines[4].startsWith("000400,  0,"));
        CheckState("idle", false, false, false, true);
        // A replay whose dialog is cancelled stays idle.
        dialogs->QueueFile(std::nullopt);
        w->btnPlayClick();
        QVERIFY(!w->playing);
        CheckState("idle", false, false, false, true);
    }

    // An empty interval is 100 ms; Advance past the end of a paused replay ends it.
    void emptyIntervalAndAdvancePastTheEnd()
    {
        const std::string log = Tmp("three.alg");
        WriteLog(log, {57, 57, 57});
        w->txtInterval->setText("");
        dialogs->QueueFile(log);
        QElapsedTimer t;
        t.start();
        Run([this] { w->btnPlayClick(); }, 0, nullptr);
        QVERIFY2(t.elapsed() >= 280, qPrintable(QString::number(t.elapsed())));
        CheckState("idle", false, false, false, true);

        // a second display set-up empties every row's values, not just the first
        auto values = [this] {
            int n = 0;
            for (int r = 1; r < w->sgData->RowCount(); ++r)
                for (int c : {2, 3, 6, 7}) n += c < w->sgData->ColCount() && !w->sgData->Cells(c, r).empty();
            return n;
        };
        QVERIFY(values() > 1);
        w->SetUpDisplays();
        QCOMPARE(values(), 0);

        dialogs->QueueFile(log);
        Run([this] { w->btnPlayClick(); }, 50, [this] { w->btnPauseClick(); });
        QVERIFY(w->playing && !w->running);
        for (int i = 0; i < 4 && w->playing; ++i) w->btnAdvanceClick();
        QVERIFY(!w->playing);
        CheckState("idle", false, false, false, true);
    }

    void aReadDroppedWhileTheLoopUnwindsLeavesNoTrace()
    {
        const std::string log = Tmp("drop.alg");
        WriteLog(log, {57, 57, 57});
        w->txtInterval->setText("50");
        dialogs->QueueFile(log);
        // Stop, then Read at once: the replay's loop has not unwound yet.
        Run([this] { w->btnPlayClick(); }, 20, [this] {
            w->btnStopClick();
            w->btnRecordClick();
        });
        QVERIFY(!w->reading && !w->playing);
        // So the next Replay replays, and does not open a port.
        dialogs->QueueFile(log);
        Run([this] { w->btnPlayClick(); }, 0, nullptr);
        QVERIFY(!watchdogFired);
        QCOMPARE(RawLines(*w).size(), qsizetype(3));
        QVERIFY(dialogs->Messages().empty());
    }

    void theLogBeingRecordedIsRefusedForReplay()
    {
        const std::string log = Tmp("rec.alg");
        dialogs->QueueFile(log);
        w->Logging1Click();
        QVERIFY(w->Logging1->isChecked());
        dialogs->QueueFile(Tmp("./rec.alg")); // another path to the same file
        w->btnPlayClick();
        QCOMPARE(dialogs->Messages(),
                 std::vector<std::string>{"Can't replay " + Tmp("./rec.alg") + " while it is being recorded"});
        QVERIFY(!w->playing && !w->running);
        CheckState("idle", false, false, false, true);
        w->Logging1Click();
    }

    void replayedLinesAreRecordedAgainAndShownOnlyOnTheRawPage()
    {
        const std::string in = Tmp("in.alg"), out = Tmp("out.alg");
        WriteLog(in, {3, 0, 3}); // a line without bytes is a frame of count 0
        dialogs->QueueFile(out);
        w->Logging1Click();
        w->Charts1Click();
        w->txtInterval->setText("not a number"); // 100 ms
        dialogs->QueueFile(in);
        QElapsedTimer t;
        t.start();
        Run([this] { w->btnPlayClick(); }, 0, nullptr);
        QVERIFY(t.elapsed() >= 300);
        w->Logging1Click();
        QCOMPARE(FileLines(out), FileLines(in));
        QVERIFY(RawLines(*w).isEmpty()); // the raw page was not showing
    }

    void typedRequestIsKeptAndCommasSendSeveral()
    {
        EcmSim sim({"--no-pace", "--quiet"});
        // Two requests per frame: the simulator's counter moves on by two.
        const QString two = "\"F4 57 01 00\",\"F4 57 01 00\"";
        w->txtSend->setText(two);
        w->txtCom->setText("not a number"); // COM1
        LiveFor(500);
        QCOMPARE(w->txtSend->text(), two);
        const QStringList lines = RawLines(*w);
        QVERIFY2(lines.size() >= 3, qPrintable(lines.join(" | ")));
        int count = 0;
        const int a = BytesOf(lines[lines.size() - 2], count)[18], b = BytesOf(lines.back(), count)[18];
        QCOMPARE((b - a + 256) % 256, 2);
    }

    void frameErrorsEndTheRunCleanly()
    {
        // A word that cannot be read ends the run with a message, the log intact.
        const std::string log = Tmp("bad.alg");
        {
            TLogWriter out;
            QVERIFY(out.Create(log));
            FrameBuffer f{};
            for (int i = 0; i < 3; ++i) out.WriteLogLine(i, f.data(), 10);
        }
        w->sgAldl->SetCells(colStart, 1, "0");
        w->SetUpDisplays();
        dialogs->QueueFile(log);
        Run([this] { w->btnPlayClick(); }, 0, nullptr);
        QVERIFY(!watchdogFired);
        QVERIFY(!w->playing && !w->running && !w->playFile.IsOpen());
        CheckState("idle", false, false, false, true);
        QCOMPARE(dialogs->Messages().size(), std::size_t(1));
        QVERIFY(dialogs->Messages()[0].find("start byte 0") != std::string::npos);
        QCOMPARE(FileLines(log).size(), std::size_t(3));
    }

    void logWriteFailureEndsTheRun()
    {
        const std::string log = Tmp("ok.alg");
        {
            TLogWriter out;
            QVERIFY(out.Create(log));
            FrameBuffer f{};
            for (int i = 0; i < 3; ++i) out.WriteLogLine(i, f.data(), 10);
        }
        dialogs->QueueFile("/dev/full"); // a disk that is full
        dialogs->QueueAnswer(MsgAnswer::Yes);
        w->Logging1Click();
        QVERIFY(w->Logging1->isChecked());
        dialogs->QueueFile(log);
        Run([this] { w->btnPlayClick(); }, 0, nullptr);
        QVERIFY(!watchdogFired);
        QVERIFY(!w->playing && !w->running);
        CheckState("idle", false, false, false, true);
        QCOMPARE(dialogs->Messages().size(), std::size_t(2)); // the replace question, then the error
        QVERIFY(dialogs->Messages()[1].find("/dev/full") != std::string::npos);
        w->Logging1Click();
    }

    void closingDuringARunStopsItFirst()
    {
        EcmSim sim({"--no-pace", "--quiet"});
        dialogs->QueueAnswer(MsgAnswer::No); // in case the definition counts as changed
        Run([this] { w->btnRecordClick(); }, 300, [this] { w->close(); });
        QVERIFY(!watchdogFired);
        QVERIFY(!w->reading && !w->running && !w->comsOpen);
    }

    void portThatCannotOpenStaysIdle()
    {
        QTemporaryDir conf;
        qputenv("XDG_CONFIG_HOME", conf.path().toLocal8Bit());
        w->txtCom->setText("250");
        w->btnRecordClick();
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(dialogs->Messages().size(), std::size_t(1));
        QCOMPARE(dialogs->Messages()[0].rfind("Error: 20003 Can't create connection to com port. Windows error: ", 0),
                 std::size_t(0));
        QVERIFY(!w->reading && !w->comsOpen);
        CheckState("idle", false, false, false, true);
    }
};

QTEST_MAIN(TestAcquisition)
#include "test_acquisition.moc"
