// Several cell tables on the Log Analysis page: each its own choices and
// numbers, the same as diduvuve-csv --cells gives, and all kept with the
// definition.
#include "app/csv/CellExport.h"
#include "link/LogFile.h"
#include "tests/support/WindowFixture.h"
#include "ui/LogAnalysis.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

class TestCellTables : public QObject {
    Q_OBJECT

    // The tool's table for the same log.
    static std::string ToolTable(const std::string& def, const std::string& log, const char* cells, const char* where)
    {
        TDefinition d;
        std::string error;
        if (!LoadDefinitionFile(def, d, error)) return error;
        TCellExport tool(d);
        TCellArgs args;
        args.Cells = cells, args.Where = where;
        if (!tool.Setup(args, error)) return error;
        TLogReader r;
        r.Open(log);
        FrameBuffer f{};
        int count = 0;
        std::int32_t stamp = 0;
        while (r.ReadLogLine(f, count, stamp)) tool.AddLine(f, count);
        return tool.Table().TabText();
    }

private slots:
    void twoTablesSwitchFillAndAreKept()
    {
        QTemporaryDir dir;
        const std::string def = dir.filePath("d.ald").toStdString(), log = dir.filePath("r.alg").toStdString();
        QVERIFY(QFile::copy(EXAMPLES_DIR "/ecmsim.ald", QString::fromStdString(def)));
        QFile(QString::fromStdString(def)).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        // Engine speed, MAP, coolant (35 or 110), closed loop, BLM and the integrator wander.
        TLogWriter out;
        QVERIFY(out.Create(log));
        FrameBuffer f{};
        for (int i = 0; i < 200; ++i) {
            const int rpm4 = 3200 + (i * 97) % 12000;
            f[2] = static_cast<std::uint8_t>(i % 2 ? 200 : 100);
            f[3] = static_cast<std::uint8_t>(rpm4 >> 8), f[4] = static_cast<std::uint8_t>(rpm4);
            f[6] = static_cast<std::uint8_t>((i * 31) % 200), f[10] = static_cast<std::uint8_t>(i % 3 != 0);
            f[16] = static_cast<std::uint8_t>(110 + i % 37), f[17] = static_cast<std::uint8_t>(120 + i % 13);
            out.WriteLogLine(i * 100, f.data(), 20);
        }
        out.Close();

        WindowFixture fx(def);
        TLxLogAnalysis* page = fx.w->pnlAnalysis;
        fx.w->tabMain->setCurrentWidget(page);
        page->txtXBreaks->setText("800,1600,2400");
        page->txtYBreaks->setText("20,50,80");
        page->txtWhere->setText("Closed loop = Closed");
        QVERIFY(page->Apply());
        page->btnAddTable->click();
        QCOMPARE(page->TableCount(), 2);
        QCOMPARE(page->cbTable->currentText(), QString("Table 2"));
        QCOMPARE(page->txtXBreaks->text(), QString("800,1600,2400")); // a copy to begin with
        page->cbZ->setCurrentIndex(page->cbZ->findData(19));          // the integrator
        page->txtName->setText("Integrator");
        emit page->txtName->textEdited("Integrator");
        page->txtWhere->setText(QString::fromUtf8("coolant \u2265 80"));
        QVERIFY(page->Apply());
        page->StartRun(log);
        QVERIFY(page->BuildFromLog());

        const std::string blm = ToolTable(def, log, "X=RPM:800,1600,2400;Y=MAP:20,50,80;Z=BLM", "Closed loop=Closed");
        const std::string integ = ToolTable(def, log, "X=RPM:800,1600,2400;Y=MAP:20,50,80;Z=INT", "Coolant>=80");
        QVERIFY(blm != integ);
        QCOMPARE(page->Cells().TabText(), integ);
        QCOMPARE(page->cbTable->itemText(1), QString("Integrator"));
        const QString shown = page->Table()->item(1, 1)->text();
        page->ShowTableAt(0);
        QCOMPARE(page->Cells().TabText(), blm);
        QCOMPARE(page->txtWhere->text(), QString("Closed loop = Closed"));
        QCOMPARE(page->cbZ->currentText(), QString("Block learn (BLM)"));
        QVERIFY(page->Table()->item(1, 1)->text() != shown);

        fx.w->Save1Click();
        {
            WindowFixture again(def);
            TLxLogAnalysis* p2 = again.w->pnlAnalysis;
            again.w->tabMain->setCurrentWidget(p2);
            QCOMPARE(p2->TableCount(), 2);
            QCOMPARE(p2->CellsAt(1).Setup().Z, 19);
            p2->ShowTableAt(1);
            QCOMPARE(p2->txtName->text(), QString("Integrator"));
            QCOMPARE(p2->txtWhere->text(), QString("coolant >= 80"));
            p2->btnRemoveTable->click();
            QCOMPARE(p2->TableCount(), 1);
            QVERIFY(!p2->btnRemoveTable->isEnabled());
            QCOMPARE(p2->txtWhere->text(), QString("Closed loop = Closed"));
            QVERIFY2(again.Unexpected().empty(), again.Unexpected().c_str());
        }
        QVERIFY2(fx.Unexpected().empty(), fx.Unexpected().c_str());
    }
};

QTEST_MAIN(TestCellTables)
#include "test_celltables.moc"
