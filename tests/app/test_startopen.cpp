// A definition named on the command line opens as File > Open would.
#include "app/StartOpen.h"
#include "definitions/Sgrid.h"
#include "tests/support/ScriptedDialogs.h"
#include "ui/Main.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

class TestStartOpen : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    QString oldDir;

private slots:
    void initTestCase()
    {
        oldDir = QDir::currentPath();
        QDir::setCurrent(tmp.path()); // the settings file lands here
    }
    void cleanupTestCase() { QDir::setCurrent(oldDir); }

    void namedDefinitionBecomesTheDocument()
    {
        ScriptedDialogs dialogs;
        TfrmMain w;
        const std::string file = EXAMPLES_DIR "/ecmsim.ald";
        QVERIFY(OpenAtStart(w, file));
        QCOMPARE(w.windowTitle().toStdString(), "ALDL 8192 baud Analyser - " + file);
        QVERIFY(w.Aldl.Count() > 0);
        QVERIFY(!w.txtRequest->text().isEmpty());
        QVERIFY(dialogs.asked.empty());
        // the name answered only the one question: a later File > Open asks
        w.Open1Click();
        QCOMPARE(dialogs.asked.size(), std::size_t(1));
        QCOMPARE(dialogs.asked[0].what, std::string("open"));
    }

    void unreadableRefusedOrOverLimitFileLeavesTheWindowAsItWas()
    {
        const std::string missing = tmp.filePath("none.ald").toStdString();
        const std::string refused = tmp.filePath("newer.ald").toStdString();
        const std::string big = tmp.filePath("big.ald").toStdString();
        {
            QFile f(QString::fromStdString(refused));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[ALDL]\r\nVersion=2\r\nWords=0\r\n");
            QFile b(QString::fromStdString(big));
            QVERIFY(b.open(QIODevice::WriteOnly) && b.resize(20 << 20));
        }
        for (const std::string& name : {missing, tmp.path().toStdString(), refused, big}) {
            ScriptedDialogs dialogs;
            TfrmMain w;
            const QString title = w.windowTitle();
            w.txtTitle->setText("typed");
            w.sgAldl->SetCells(0, 1, "typed");
            QVERIFY(!OpenAtStart(w, name));
            QCOMPARE(w.windowTitle(), title);
            QCOMPARE(w.sgAldl->FileName(), std::string());
            QCOMPARE(w.txtTitle->text(), QString("typed"));
            QCOMPARE(w.sgAldl->Cells(0, 1), std::string("typed"));
            QCOMPARE(dialogs.Messages().size(), std::size_t(1));
            if (name == refused)
                QCOMPARE(dialogs.Messages()[0], std::string("Input file format requires version 2 of this software."));
            else if (name == big)
                QVERIFY2(dialogs.Messages()[0].rfind("File " + big + " is too large to be read (", 0) == 0,
                         dialogs.Messages()[0].c_str());
            else
                QCOMPARE(dialogs.Messages()[0], "Can't open file " + name);
        }
    }
};

QTEST_MAIN(TestStartOpen)
#include "test_startopen.moc"
