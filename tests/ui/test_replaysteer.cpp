// Steering a replay: seeking by the position bar, the pace, Back one frame.
#include "definitions/Sgrid.h"
#include "link/LogFile.h"
#include "tests/support/WindowFixture.h"
#include "ui/Main.h"
#include "ui/ReplayBar.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <memory>

class TestReplaySteer : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> fx;
    ScriptedDialogs* dialogs = nullptr;
    TfrmMain* w = nullptr;
    std::string log;

    // Lines every `step` ms; the frame counter (byte 19) holds the line number.
    void WriteLog(int lines, int step)
    {
        TLogWriter out;
        QVERIFY(out.Create(log));
        FrameBuffer f{};
        for (int i = 0; i < lines; ++i) {
            f[18] = static_cast<std::uint8_t>(i);
            out.WriteLogLine(1000 + step * i, f.data(), 20);
        }
    }
    std::string Counter() const
    {
        for (int r = 1; r < w->sgData->RowCount(); ++r)
            if (w->sgData->Cells(0, r) == "Frame counter") return w->sgData->Cells(3, r);
        return "?";
    }
    // Starts the replay and pauses it after its first frame.
    void StartPaused()
    {
        dialogs->QueueFile(log);
        QTimer::singleShot(0, w, [this] { w->btnPauseClick(); });
        w->btnPlayClick();
        QVERIFY(w->playing && !w->running);
    }
    qint64 ReplayMs(int pace)
    {
        w->SetPace(pace);
        dialogs->QueueFile(log);
        QElapsedTimer t;
        t.start();
        w->btnPlayClick(); // returns at the end of the log
        return t.elapsed();
    }

private slots:
    void init()
    {
        fx = std::make_unique<WindowFixture>(EXAMPLES_DIR "/ecmsim.ald");
        w = fx->w;
        dialogs = &fx->dialogs;
        log = fx->Tmp("r.alg");
        w->txtInterval->setText("0");
    }
    void cleanup()
    {
        WindowFixture::End(fx);
    }

    void seekingAndBackWhilePaused()
    {
        WriteLog(50, 100);
        QVERIFY(w->ToolBar2->isHidden());
        QVERIFY(!w->btnBack->isEnabled());
        StartPaused();
        QVERIFY(!w->ToolBar2->isHidden());
        QVERIFY(w->btnBack->isEnabled() && w->Back1->isEnabled());
        QCOMPARE(w->Back1->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F5));
        QTRY_VERIFY(w->replayCursor.Index().Done());
        QCOMPARE(w->pnlReplay->Total(), 4900);

        w->SeekReplay(2450); // between lines 24 and 25: the one at or after
        QCOMPARE(Counter(), "25");
        QCOMPARE(w->pnlReplay->Text(), "0:02.5 / 0:04.9");
        w->btnBackClick();
        QCOMPARE(Counter(), "24");
        w->btnAdvanceClick();
        QCOMPARE(Counter(), "25");
        // A click on the bar goes there once the button is let go.
        const QRect bar = w->pnlReplay->rect();
        QTest::mouseClick(w->pnlReplay, Qt::LeftButton, {}, QPoint(2, bar.height() / 2));
        QCOMPARE(Counter(), "0");
        w->btnBackClick(); // nothing before the first line
        QCOMPARE(Counter(), "0");
        w->SeekReplay(999999);
        QCOMPARE(Counter(), "49");
        w->btnAdvanceClick(); // past the end: the replay ends as at Stop
        QVERIFY(!w->playing);
        QVERIFY(w->ToolBar2->isHidden() && !w->btnBack->isEnabled());
    }

    void seekingWhileRunningGoesOnFromThere()
    {
        WriteLog(200, 100);
        w->txtInterval->setText("5");
        dialogs->QueueFile(log);
        QTimer::singleShot(50, w, [this] { w->SeekReplay(15000); });
        QTimer::singleShot(120, w, [this] { w->btnPauseClick(); });
        w->btnPlayClick();
        QVERIFY(w->playing);
        QVERIFY(w->replayCursor.Shown().Line >= 150);
        QCOMPARE(Counter(), std::to_string(w->replayCursor.Shown().Line));
        QVERIFY(!w->btnBack->isEnabled() || !w->running);
        w->btnStopClick();
    }

    void paceFollowsTheStampsAndIsKept()
    {
        WriteLog(21, 20); // 400 ms as recorded
        const qint64 asRecorded = ReplayMs(1);
        const qint64 eightTimes = ReplayMs(8);
        qInfo("as recorded %lld ms, 8x %lld ms", asRecorded, eightTimes);
        QVERIFY2(asRecorded >= 395, std::to_string(asRecorded).c_str());
        QVERIFY2(eightTimes >= 45 && eightTimes < asRecorded, std::to_string(eightTimes).c_str());
        QCOMPARE(w->cbPace->currentText(), QString::fromUtf8("8\u00D7"));
        w->WriteSettings();
        TfrmMain again;
        QCOMPARE(again.cbPace->currentText(), QString::fromUtf8("8\u00D7"));
        again.SetPace(0);
        QCOMPARE(again.cbPace->currentText(), QString("Interval"));
    }
};

QTEST_MAIN(TestReplaySteer)
#include "test_replaysteer.moc"
