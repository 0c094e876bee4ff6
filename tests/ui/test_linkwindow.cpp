// The window on a bus that other modules talk on: the link settings form,
// a run through the body module's chatter, the chatter hint and the cable check.
#include "definitions/Sgrid.h"
#include "link/LinkSettings.h"
#include "link/LinkStats.h"
#include "tests/support/EcmSim.h"
#include "tests/support/WindowFixture.h"
#include "ui/Main.h"
#include "ui/StatusBar.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

class TestLinkWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> fx;
    ScriptedDialogs* dialogs = nullptr;
    TfrmMain* w = nullptr;

    void LiveFor(int ms)
    {
        QTimer::singleShot(ms, w, [this] { w->btnStopClick(); });
        QTimer::singleShot(ms + 15000, w, [this] { w->btnStopClick(); }); // never hangs
        w->btnRecordClick();
    }

private slots:
    void init()
    {
        fx = std::make_unique<WindowFixture>(EXAMPLES_DIR "/ecmsim.ald");
        w = fx->w;
        dialogs = &fx->dialogs;
        w->txtInterval->setText("0");
        w->RawALDLData1Click();
    }
    void cleanup()
    {
        w->sgAldl->Store().SetModified(false);
        WindowFixture::End(fx);
    }

    void settingsFormThenARunThroughTheBodyModulesChatter()
    {
        dialogs->QueueFields([](const std::vector<std::pair<std::string, std::string>>& f) {
            std::vector<std::string> v;
            for (const auto& [k, value] : f) v.push_back(value);
            if (f.size() != 8 || f[0].first != "Silence" || f[6].second != "fail") return std::optional<std::vector<std::string>>{};
            v[0] = "F1 56 08";
            v[1] = "many"; // falls back to its default
            v[5] = "1000";
            v[6] = "skip";
            v[7] = "F1 56 09";
            return std::optional<std::vector<std::string>>(v);
        });
        QVERIFY(!w->sgAldl->Modified());
        w->LinkSettingsClick();
        QVERIFY(w->sgAldl->Modified());
        const TLinkSettings s = ReadLinkSettings(w->sgAldl->Store());
        QCOMPARE(s.Silence, std::string("F1 56 08"));
        QCOMPARE(s.SilenceRepeat, TLinkSettings::DefaultRepeat);
        QVERIFY(s.SkipForeign);

        EcmSim sim({"--chatter", "vt", "--quiet", "--quiet-ms", "800"});
        LiveFor(700); // the raw view keeps the last 24 lines: the burst opens the run
        const QString raw = w->memRecv->toPlainText();
        QVERIFY2(raw.contains(",Silence F1 56 08 B1 x"), qPrintable(raw.left(600)));
        QVERIFY(w->StatusBar1->lblChatter->isVisibleTo(w));
        QVERIFY(w->StatusBar1->lblChatter->text().startsWith("Chatter "));
        LiveFor(2500); // the bus wakes after 800 ms and is silenced again
        QVERIFY(w->StatusBar1->Stats().Good() >= 10);
        QVERIFY(w->StatusBar1->Stats().Good() > 4 * w->StatusBar1->Stats().Failed());
    }

    void chatterWithoutLinkSettingsSaysSo()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const int width = w->width();
        EcmSim sim({"--chatter", "vs", "--quiet"});
        LiveFor(1500);
        QVERIFY(!w->StatusBar1->lblChatter->isVisibleTo(w));
        QCOMPARE(w->StatusBar1->Stats().Hint(), LinkHint::Chatter);
        QCOMPARE(w->StatusBar1->lblHint->text(), QString(LinkHintText(LinkHint::Chatter)));
        QCOMPARE(w->width(), width); // a long hint is cut: the window still fits a laptop's screen
        QCOMPARE(w->StatusBar1->lblHint->toolTip(), w->StatusBar1->lblHint->text());
    }

    void cableCheckAppliesItsFindingsAsAnEdit()
    {
        EcmSim sim({"--chatter", "vt", "--id", "F5", "--no-echo", "--quiet"});
        dialogs->QueueAnswer(MsgAnswer::Yes);
        w->CheckCableClick();
        QVERIFY(!dialogs->Messages().empty());
        QVERIFY(dialogs->Messages().back().find("probe: echo=no chatter=yes heartbeat=08 55 A3") != std::string::npos);
        QVERIFY(!w->chkEcho->isChecked());
        QCOMPARE(w->txtRequest->text(), QString("F5 57 01 00"));
        QCOMPARE(ReadLinkSettings(w->sgAldl->Store()).Silence, std::string("F1 56 08"));
        QVERIFY(w->sgAldl->Modified());
        QVERIFY(!w->comsOpen);
        // Saved with the definition, the rest of the file as it was.
        const std::string saved = fx->Tmp("car.ald");
        dialogs->QueueFile(saved);
        w->SaveAs1Click();
        const TLinkSettings s = LoadLinkSettings(saved);
        QCOMPARE(s.Resume, std::string("F1 56 09"));
        QVERIFY(s.SkipForeign);
        QVERIFY(!w->sgAldl->Modified());
    }
};

QTEST_MAIN(TestLinkWindow)
#include "test_linkwindow.moc"
