// The Log Analysis page: the same table as diduvuve-csv --cells, seeking
// from the overview, and its choices kept with the definition.
#include "app/csv/CellExport.h"
#include "definitions/Sgrid.h"
#include "link/LogFile.h"
#include "tests/support/WindowFixture.h"
#include "ui/LogAnalysis.h"
#include "ui/Main.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <memory>

class TestLogAnalysis : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> fx;
    ScriptedDialogs* dialogs = nullptr;
    TfrmMain* w = nullptr;
    std::string log, def;

    void Open(TfrmMain& win, const std::string& name)
    {
        dialogs->QueueFile(name);
        win.Open1Click();
        win.tabMain->setCurrentWidget(win.pnlAnalysis);
    }

private slots:
    void init()
    {
        fx = std::make_unique<WindowFixture>("d.ald", [this](WindowFixture& folder) {
            log = folder.Tmp("r.alg"), def = folder.Tmp("d.ald");
            QFile::copy(EXAMPLES_DIR "/ecmsim.ald", QString::fromStdString(def));
            QFile(QString::fromStdString(def)).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            // Engine speed (bytes 4-5), MAP (7), closed loop (11.0) and BLM (17) wander over 300 frames.
            TLogWriter out;
            QVERIFY(out.Create(log));
            FrameBuffer f{};
            for (int i = 0; i < 300; ++i) {
                const int rpm4 = 3200 + (i * 97) % 12000;
                f[3] = static_cast<std::uint8_t>(rpm4 >> 8), f[4] = static_cast<std::uint8_t>(rpm4);
                f[6] = static_cast<std::uint8_t>((i * 31) % 200), f[10] = static_cast<std::uint8_t>(i % 3 != 0);
                f[16] = static_cast<std::uint8_t>(110 + i % 37), f[18] = static_cast<std::uint8_t>(i);
                out.WriteLogLine(i * 100, f.data(), 20);
            }
            out.Close();
        });
        w = fx->w;
        dialogs = &fx->dialogs;
        w->tabMain->setCurrentWidget(w->pnlAnalysis);
        w->txtInterval->setText("0");
    }
    void cleanup()
    {
        WindowFixture::End(fx);
    }

    void wholeLogTableIsTheToolsTableAndOverviewSeeks()
    {
        TLxLogAnalysis* page = w->pnlAnalysis;
        QCOMPARE(page->cbZ->currentText(), QString("Block learn (BLM)")); // the fuel-tuning choice to begin with
        page->txtXBreaks->setText("800,1600,2400");
        page->txtYBreaks->setText("20,50,80");
        page->txtWhere->setText(QString::fromUtf8("CL=Closed, BLM\u2265111"));
        page->spMinHits->setValue(2);
        dialogs->QueueFile(log);
        QTimer::singleShot(0, w, [this] { w->btnPauseClick(); });
        w->btnPlayClick();
        QVERIFY(page->Apply());
        QVERIFY(page->BuildFromLog());

        TDefinition d;
        std::string error;
        QVERIFY(LoadDefinitionFile(def, d, error));
        TCellExport tool(d);
        TCellArgs args;
        args.Cells = "X=RPM:800,1600,2400;Y=MAP:20,50,80;Z=BLM", args.Where = "CL=Closed,BLM>=111", args.MinHits = "2";
        QVERIFY(tool.Setup(args, error));
        TLogReader r;
        QVERIFY(r.Open(log));
        FrameBuffer f{};
        int count = 0;
        std::int32_t stamp = 0;
        while (r.ReadLogLine(f, count, stamp)) tool.AddLine(f, count);
        QCOMPARE(page->Cells().TabText(), tool.Table().TabText());
        w->btnAdvanceClick(); // frames of a whole-log table are in it already
        QCOMPARE(page->Cells().TabText(), tool.Table().TabText());
        long double v = 0;
        QVERIFY(tool.Table().Value(1, 1, v));
        QCOMPARE(page->Table()->item(1, 1)->text().toStdString(), NumberToText(v));
        page->Copy();
        QCOMPARE(QApplication::clipboard()->text().toStdString(), tool.Table().TabText());

        // The overview read the whole log; a click on it replays from there.
        QTRY_VERIFY(!page->Scanning());
        QCOMPARE(page->Data().Size(), std::size_t{300});
        page->Overview()->resize(400, 120);
        const int x = 200;
        const std::int64_t at = page->Overview()->TimeAt(x);
        QTest::mouseClick(page->Overview(), Qt::LeftButton, {}, QPoint(x, 60));
        QCOMPARE(w->replayCursor.Shown().Time, (at + 99) / 100 * 100);
        QVERIFY(page->CurrentCell() >= -1);
        w->btnStopClick();
    }

    void overviewMemoryStaysBoundedAndKeepsExtremes()
    {
        TOverviewData d;
        d.Cap = 4;
        const float nan = std::numeric_limits<float>::quiet_NaN();
        for (int i = 0; i < 9; ++i) d.Add(i * 10, {static_cast<float>(i == 5 ? -7 : i), nan, 0, 0});
        QCOMPARE(d.Size(), std::size_t{3}); // points of 4, 4 and 1 frames
        QCOMPARE(d.Per, 4);
        QCOMPARE(d.Time, (std::vector<std::int64_t>{0, 40, 80}));
        QCOMPARE(d.Values[0], (std::vector<float>{0, -7, 8}));
        QCOMPARE(d.Highs[0], (std::vector<float>{3, 7, 8}));
        QVERIFY(std::isnan(d.Values[1][1]));
    }

    void choicesAreKeptWithTheDefinition()
    {
        TLxLogAnalysis* page = w->pnlAnalysis;
        page->txtXBreaks->setText("1000,2000");
        page->cbStat->setCurrentIndex(3);
        page->btnApply->click();
        w->Save1Click();
        std::ifstream in(def, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        QVERIFY(text.find("[STREAM]") < text.find("[ANALYSIS]"));
        QVERIFY2(text.find("XBreaks=1000,2000") != std::string::npos, text.c_str());

        TfrmMain again;
        Open(again, def);
        QCOMPARE(again.pnlAnalysis->txtXBreaks->text(), QString("1000,2000"));
        QCOMPARE(again.pnlAnalysis->cbStat->currentText(), QString("max"));
        QCOMPARE(again.pnlAnalysis->Cells().Columns(), 2);
    }
};

QTEST_MAIN(TestLogAnalysis)
#include "test_loganalysis.moc"
