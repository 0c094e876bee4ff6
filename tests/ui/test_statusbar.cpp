// The status bar during live runs against the simulated ECM: counts by kind,
// the reply checksum, the hints and their clearing.
#include "definitions/Sgrid.h"
#include "tests/support/EcmSim.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowFixture.h"
#include "ui/Main.h"
#include "ui/StatusBar.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <functional>

class TestStatusBar : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> fx;
    ScriptedDialogs* dialogs = nullptr;
    TfrmMain* w = nullptr;

    // A live run of `ms`; `during` runs at `atMs` while it goes on.
    void LiveFor(int ms, int atMs = 0, const std::function<void()>& during = {})
    {
        QTimer::singleShot(ms, w, [this] { w->btnStopClick(); });
        if (during) QTimer::singleShot(atMs, w, during);
        w->btnRecordClick();
        w->StatusBar1->Refresh();
    }
    QString Text(const char* label) { return w->StatusBar1->findChild<QLabel*>(label)->text(); }

private slots:
    void init()
    {
        fx = std::make_unique<WindowFixture>(EXAMPLES_DIR "/ecmsim.ald");
        w = fx->w;
        dialogs = &fx->dialogs;
        w->txtInterval->setText("0");
    }
    void cleanup()
    {
        WindowFixture::End(fx);
    }

    void countsByKindAndTheReplyChecksum()
    {
        QCOMPARE(Text("lblState"), QString("Idle"));
        {
            // Every second reply is dropped.
            EcmSim drop({"--no-pace", "--quiet", "--fault-every", "2", "--drop"});
            QString during;
            LiveFor(900, 300, [&] { w->StatusBar1->Refresh(); during = Text("lblState"); });
            QCOMPARE(during, QString("Reading COM1"));
        }
        const TLinkStats& s = w->StatusBar1->Stats();
        QVERIFY(s.Good() > 2);
        QVERIFY(s.FailedOf(-4) > 0);
        QCOMPARE(s.Failed(), s.FailedOf(-4));
        QVERIFY2(s.BadChecksums() == 0, "whole replies add up");
        QCOMPARE(Text("lblFailed"), "Failed " + QString::number(s.Failed()));
        const QString tip = w->StatusBar1->lblFailed->toolTip();
        QVERIFY2(tip.contains("Reply header was not received.: " + QString::number(s.FailedOf(-4))), qPrintable(tip));
        QVERIFY(tip.contains("Header contained invalid length.: 0"));
        QCOMPARE(Text("lblState"), QString("Idle"));

        // Every second reply stops after 20 data bytes: still a frame, but
        // without the rest and its checksum the sum does not add up.
        EcmSim bad({"--no-pace", "--quiet", "--fault-every", "2", "--short", "20"});
        LiveFor(900);
        QVERIFY2(s.Good() > 4, "counts start again with the run, and short bodies are still frames");
        QCOMPARE(s.Failed(), 0);
        QVERIFY(s.BadChecksums() > 0);
        QVERIFY(s.BadChecksums() < s.Good());
        QVERIFY(w->StatusBar1->lblChecksum->toolTip().contains(QRegularExpression("stamp \\d{6}")));
    }

    void hintsAndTheirClearing_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("echo");
        QTest::addColumn<QString>("hint");
        QTest::newRow("silent cable") << QStringList{"--drop", "--no-echo"} << true << "without Echo";
        QTest::newRow("echo unticked") << QStringList{"--no-echo", "--length-byte", "0x20"} << false << "with Echo";
        QTest::newRow("no reply") << QStringList{"--drop"} << true << "COM port";
    }
    void hintsAndTheirClearing()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, echo);
        QFETCH(QString, hint);
        std::vector<std::string> o{"--no-pace", "--quiet"};
        for (const QString& x : options) o.push_back(x.toStdString());
        EcmSim sim(o);
        w->chkEcho->setChecked(echo);
        QString shown;
        LiveFor(800, 700, [&] { w->StatusBar1->Refresh(); shown = Text("lblHint"); });
        QVERIFY2(shown.contains(hint), qPrintable(shown));
    }

    void aGoodFrameClearsTheHint()
    {
        EcmSim sim({"--no-pace", "--quiet"});
        w->txtSend->setText("F5 57 01 00"); // another ECM's ID: no answer
        QString before;
        LiveFor(1200, 600, [&] {
            w->StatusBar1->Refresh();
            before = Text("lblHint");
            w->txtSend->setText("F4 57 01 00");
        });
        QVERIFY2(before.contains("COM port"), qPrintable(before));
        QVERIFY(w->StatusBar1->Stats().Good() > 0);
        QCOMPARE(Text("lblHint"), QString());
    }
};

QTEST_MAIN(TestStatusBar)
#include "test_statusbar.moc"
