// Display set-up and frame decoding in the window with computed words: the
// one message naming words whose expression cannot be used, and what the
// tables show.
#include "definitions/Sgrid.h"
#include "tests/support/ScriptedDialogs.h"
#include "ui/Main.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestDisplaySetup : public QObject {
    Q_OBJECT
private slots:
    void computedWordsInTheTables();
};

void TestDisplaySetup::computedWordsInTheTables()
{
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    const QString name = dir.filePath("e.ald");
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[ALDL]\r\nWords=3\r\n\r\n[STREAM]\r\n"
            "W1=Speed,RPM,2,16,-,5000,Chart,1,1,-,-,=1310720/X,rpm,1,0,-,-\r\n"
            "W2=Broken,BAD,3,8,-,-,Value,-,-,-,-,=X/0,-,0.5,0,-,-\r\n"
            "W3=High,HI,3,8,-,-,Flag,-,-,-,-,=RPM>4000,-,1,0,\"No,Yes\",-\r\n");
    f.close();
    TfrmMain w;
    QVERIFY(w.sgAldl->LoadDefinition(name.toStdString()));
    w.SetUpDisplays();
    QCOMPARE(dialogs.Messages(),
             std::vector<std::string>{"Expression of \"BAD\" (Broken): division by zero; it shows its raw value."});

    FrameBuffer frame{};
    frame[1] = 0xFF; // 1310720 / 255
    frame[2] = 9;
    w.DecodeFrame(frame, 3);
    QCOMPARE(w.sgData->Cells(3, 1), std::string("5140.08"));
    QCOMPARE(w.sgData->Cells(7, 1), std::string("1"));
    QCOMPARE(w.sgData->Cells(3, 2), std::string("9"));
    QCOMPARE(w.sgMalf->Cells(3, 1), std::string("Yes"));
    // No number: empty value, no fail counted, the run goes on.
    frame[1] = 0;
    w.DecodeFrame(frame, 3);
    QCOMPARE(w.sgData->Cells(2, 1), std::string("0"));
    QCOMPARE(w.sgData->Cells(3, 1), std::string());
    QCOMPARE(w.sgData->Cells(7, 1), std::string("1"));
    QVERIFY(dialogs.unexpected.empty());
}

QTEST_MAIN(TestDisplaySetup)
#include "test_displaysetup.moc"
