// The document commands of the main window: open, save, save as, new,
// edit, delete and move words, and the unsaved-definition question.
#include "decode/Aldl.h"
#include "definitions/Sgrid.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/WindowFixture.h"
#include "ui/Application.h"
#include "ui/LogAnalysis.h"
#include "ui/Main.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

std::string ReadAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll().toStdString();
}

} // namespace

class TestDocuments : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> fx;
    ScriptedDialogs* dialogs = nullptr;
    TfrmMain* w = nullptr;
    QTemporaryDir* tmp = nullptr;

    std::string Copy(const char* example, const std::string& as)
    {
        const std::string to = fx->Tmp(as);
        QFile::copy(QString(EXAMPLES_DIR "/") + example, QString::fromStdString(to));
        return to;
    }
    std::string Title() const { return w->windowTitle().toStdString(); }

private slots:
    void init()
    {
        fx = std::make_unique<WindowFixture>("");
        w = fx->w;
        dialogs = &fx->dialogs;
        tmp = &fx->tmp;
        w->show(); // so closing can be seen
        fx->AddWordDialog();
    }
    void cleanup()
    {
        WindowFixture::End(fx);
    }

    void openFillsHeaderAndDisplays()
    {
        const std::string file = Copy("small.ald", "small.ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        QCOMPARE(Title(), "ALDL 8192 baud Analyser - " + file);
        QCOMPARE(w->txtTitle->text(), QString("Small example"));
        QCOMPARE(w->txtVin->text(), QString()); // "-" reads back empty
        QCOMPARE(w->cbInject->currentText(), QString("PFI"));
        QCOMPARE(w->txtRequest->text(), QString("F4 57 01 00"));
        QVERIFY(w->chkEcho->isChecked());
        QCOMPARE(w->Aldl.Count(), 6);
        QCOMPARE(w->sgData->RowCount(), 1 + 5); // header and the five value and chart words
        QCOMPARE(w->sgMalf->RowCount(), 1 + 1);
        // Nothing changed: closing asks nothing.
        w->close();
        QVERIFY(w->isHidden());
        QVERIFY(dialogs->Messages().empty());
    }

    void importAdxGivesAnUnsavedDefinitionAndItsReport()
    {
        dialogs->QueueFile(std::string(ADX_TEST_DIR "/mixed.adx"));
        w->ImportAdx1Click();
        QCOMPARE(w->txtRequest->text(), QString("F4 57 01 00"));
        QVERIFY(w->chkEcho->isChecked());
        QCOMPARE(w->Aldl.Count(), 19);
        QVERIFY(w->sgAldl->Modified() && w->sgAldl->FileName().empty());
        QVERIFY(dialogs->Messages().back().find("4 imported raw") != std::string::npos);
        // The file's histogram is the Log Analysis page's cell table.
        w->tabMain->setCurrentWidget(w->pnlAnalysis);
        QCOMPARE(w->pnlAnalysis->txtXBreaks->text(), QString("20,60.5"));
        QCOMPARE(w->pnlAnalysis->cbZ->currentText(), QString("Coolant \u00B0C (CLT)"));
        // The next import asks about this unsaved one first; Cancel keeps it.
        dialogs->QueueAnswer(MsgAnswer::Cancel);
        w->ImportAdx1Click();
        QCOMPARE(w->Aldl.Count(), 19);
        // Not an ADX file: a message, and the document stays.
        const QString bad = tmp->filePath("bad.adx");
        QFile f(bad);
        f.open(QIODevice::WriteOnly);
        f.write("plain text");
        f.close();
        dialogs->QueueAnswer(MsgAnswer::No);
        dialogs->QueueFile(bad.toStdString());
        w->ImportAdx1Click();
        QVERIFY(dialogs->Messages().back().find("not an ADX definition") != std::string::npos);
        QCOMPARE(w->Aldl.Count(), 19);
        dialogs->QueueAnswer(MsgAnswer::No);
        w->close();
    }

    void refusedFileLeavesTheDocument()
    {
        const std::string good = Copy("small.ald", "good.ald");
        dialogs->QueueFile(good);
        w->Open1Click();
        QFile bad(tmp->filePath("v2.ald"));
        bad.open(QIODevice::WriteOnly);
        bad.write("[ALDL]\r\nVersion=2\r\nWords=0\r\n");
        bad.close();
        w->txtTitle->setText("edited");
        dialogs->QueueFile(bad.fileName().toStdString());
        w->Open1Click();
        QCOMPARE(dialogs->Messages().back(), std::string("Input file format requires version 2 of this software."));
        QCOMPARE(w->sgAldl->FileName(), good);
        QCOMPARE(Title(), "ALDL 8192 baud Analyser - " + good);
        QCOMPARE(w->txtTitle->text(), QString("edited")); // nothing below the refusal ran
        // A cancelled dialog rebuilds from the unchanged document and resets the header fields.
        dialogs->QueueFile(std::nullopt);
        w->Open1Click();
        QCOMPARE(w->txtTitle->text(), QString("Small example"));
    }

    void saveWritesOnlyWhenChanged()
    {
        // Fresh start: no header text, no words: Save writes nothing, asks nothing.
        w->Save1Click();
        QVERIFY(dialogs->asked.empty());
        // Header text on a nameless document: Save asks for a name.
        w->txtTitle->setText("Mine");
        const QString name = tmp->filePath("mine.ald");
        dialogs->QueueFile(name.toStdString());
        w->Save1Click();
        QCOMPARE(Title(), "ALDL 8192 baud Analyser - " + name.toStdString());
        const std::string saved = ReadAll(name);
        QVERIFY(saved.find("Info=Mine,-,-,-,-,-,-,-,-,-,-,-,-\r\n") != std::string::npos);
        // Saved and unchanged: nothing more is written, closing asks nothing.
        const std::size_t asked = dialogs->asked.size();
        w->Save1Click();
        QCOMPARE(dialogs->asked.size(), asked);
        QCOMPARE(ReadAll(name), saved);
    }

    void saveAsCancelledLeavesANamelessModifiedDocument()
    {
        const std::string file = Copy("small.ald", "a.ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        dialogs->QueueFile(std::nullopt);
        w->SaveAs1Click();
        QCOMPARE(w->sgAldl->FileName(), std::string());
        QVERIFY(w->sgAldl->Modified());
        QCOMPARE(Title(), std::string("ALDL 8192 baud Analyser - "));
        const QString again = tmp->filePath("b.ald");
        dialogs->QueueFile(again.toStdString());
        w->Save1Click(); // asks for a name
        QCOMPARE(w->sgAldl->FileName(), again.toStdString());
        QCOMPARE(ReadAll(again), ReadAll(QString::fromStdString(file)));
    }

    void closeQuestionAfterAnEdit()
    {
        const std::string file = Copy("small.ald", "c.ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        w->txtYear->setText("2001");
        dialogs->QueueAnswer(MsgAnswer::Cancel);
        w->close();
        QVERIFY(!w->isHidden()); // Cancel keeps the window
        QCOMPARE(dialogs->Messages().back(), std::string("Aldl configuration has not been saved. Save now?"));
        dialogs->QueueAnswer(MsgAnswer::Yes);
        w->close();
        QVERIFY(w->isHidden());
        QVERIFY(ReadAll(QString::fromStdString(file)).find(",2001,") != std::string::npos);
    }

    void aLineBreakPastedIntoAFieldBecomesABlank()
    {
        const std::string file = Copy("small.ald", "p.ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        QApplication::clipboard()->setText("a\nb");
        w->txtTitle->selectAll();
        w->txtTitle->paste();
        QCOMPARE(w->txtTitle->text(), QString("a b"));
        w->Save1Click();
        QVERIFY(ReadAll(QString::fromStdString(file)).find("Info=\"a b\",") != std::string::npos);
        QVERIFY(w->close());
        QVERIFY(dialogs->Messages().empty());
    }

    void aCommandErrorEndsOnlyThatCommand()
    {
        const std::string file = Copy("small.ald", "e.ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        const std::string before = ReadAll(QString::fromStdString(file));
        // A line break that reached a cell some other way can't be stored.
        w->sgAldl->SetCells(0, 1, "two\nlines");
        const std::string error = "A cell holds a line break and can't be stored";
        QTimer::singleShot(0, w, [this] { w->Save1Click(); });
        QTRY_COMPARE(dialogs->Messages().size(), std::size_t(1));
        QCOMPARE(dialogs->Messages().back(), error);
        // The close stops where it failed: the window and the edit are kept.
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QCOMPARE(dialogs->Messages().back(), error);
        QCOMPARE(w->sgAldl->Cells(0, 1), std::string("two\nlines"));
        QCOMPARE(ReadAll(QString::fromStdString(file)), before);
        w->sgAldl->SetCells(0, 1, "one line");
        dialogs->QueueAnswer(MsgAnswer::No);
        QVERIFY(w->close());
    }

    // Save never writes what Open would refuse, and a refused Open changes nothing.
    void definitionsOverTheLimitsAreNeitherWrittenNorHalfOpened()
    {
        const std::string file = Copy("small.ald", "l.ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        const std::string before = ReadAll(QString::fromStdString(file));
        const std::string name = w->sgAldl->Cells(0, 1);
        w->sgAldl->SetCells(colFlags, 1, std::string(70000, 'f'));
        QTimer::singleShot(0, w, [this] { w->Save1Click(); });
        QTRY_COMPARE(dialogs->Messages().size(), std::size_t(1));
        QVERIFY2(dialogs->Messages()[0].rfind("Word 1 (" + name + ") is too long to be stored", 0) == 0,
                 dialogs->Messages()[0].c_str());
        QVERIFY(dialogs->Messages()[0].find("65535") != std::string::npos);
        QCOMPARE(ReadAll(QString::fromStdString(file)), before);

        const QString big = tmp->filePath("big.ald"), title = w->windowTitle(), car = w->txtTitle->text();
        { QFile f(big); QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(20 << 20)); }
        dialogs->QueueFile(big.toStdString());
        w->Open1Click();
        QCOMPARE(dialogs->Messages().size(), std::size_t(2));
        QCOMPARE(w->windowTitle(), title);
        QCOMPARE(w->txtTitle->text(), car);
        QCOMPARE(w->sgAldl->Cells(0, 1), name);
        QCOMPARE(w->sgAldl->Cells(colFlags, 1).size(), std::size_t(70000));
        w->sgAldl->SetCells(colFlags, 1, "-");
        dialogs->QueueAnswer(MsgAnswer::No);
        QVERIFY(w->close());
    }

    void aSaveThatFailsSaysSoAndStaysModified()
    {
        QVERIFY(QDir(tmp->path()).mkdir("gone"));
        const std::string file = Copy("small.ald", "gone/f.ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        w->txtYear->setText("2002");
        QVERIFY(QDir(tmp->filePath("gone")).removeRecursively());
        const std::string error = "Can't save file " + file + ": No such file or directory";
        w->Save1Click();
        QCOMPARE(dialogs->Messages(), std::vector<std::string>{error});
        QVERIFY(w->sgAldl->Modified());
        // Yes to the close question: the save fails again and the window stays.
        dialogs->QueueAnswer(MsgAnswer::Yes);
        QVERIFY(!w->close());
        QCOMPARE(dialogs->Messages().back(), error);
        dialogs->QueueAnswer(MsgAnswer::No);
        QVERIFY(w->close());
    }

    // No temporary file can go beside it (its name would be too long), the
    // write stops part-way as on a full disk, and the old bytes can't go back.
    void aSaveInPlaceThatCannotPutTheOldBytesBackSaysTheFileIsDamaged()
    {
        const std::string file = Copy("small.ald", std::string(240, 'd') + ".ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        w->txtYear->setText("2003");
        {
            FileSizeLimit limit(QFileInfo(QString::fromStdString(file)).size() / 2);
            w->Save1Click();
        }
        QCOMPARE(dialogs->Messages(),
                 std::vector<std::string>{"I/O error writing " + file +
                                          ": File too large. The file is damaged and its old content could not be "
                                          "put back; the unsaved definition is still open here: save it under "
                                          "another name."});
        QVERIFY(w->sgAldl->Modified());
        QCOMPARE(Title(), "ALDL 8192 baud Analyser - " + file);
        const std::string other = fx->Tmp("other.ald");
        dialogs->QueueFile(other);
        w->SaveAs1Click();
        QVERIFY(ReadAll(QString::fromStdString(other)).find(",2003,") != std::string::npos);
    }

    void newKeepsHeaderFieldsAndDisplays()
    {
        const std::string file = Copy("small.ald", "d.ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        const int decoders = w->Aldl.Count();
        w->New1Click();
        QCOMPARE(Title(), std::string("ALDL 8192 baud Analyser"));
        QCOMPARE(w->sgAldl->RowCount(), 2);
        QCOMPARE(w->sgAldl->FileName(), std::string());
        QCOMPARE(w->txtTitle->text(), QString("Small example"));
        QCOMPARE(w->Aldl.Count(), decoders); // no rebuild until the next change
    }

    void editingTheBlankRowAddsANewBlankRow()
    {
        SetModalHook([](QDialog& d) {
            auto& e = static_cast<TfrmEditWord&>(d);
            e.LoadRow("Speed,VSS,13,8,-,-,Value,-,-,-,-,-,kmh,1,0,-,-");
            return int(QDialog::Accepted);
        });
        w->sgAldl->SetRow(1);
        w->EditWord();
        QCOMPARE(w->sgAldl->RowCount(), 3);
        QCOMPARE(w->sgAldl->Cells(0, 1), std::string("Speed"));
        QCOMPARE(w->sgAldl->Cells(0, 2), std::string());
        QCOMPARE(w->Aldl.Count(), 1);
        QCOMPARE(w->sgData->Cells(0, 1), std::string("Speed"));
        // Cancel still rebuilds the displays.
        SetModalHook([](QDialog&) { return int(QDialog::Rejected); });
        w->sgAldl->SetCells(colName, 1, "Renamed");
        w->EditWord();
        QCOMPARE(w->sgData->Cells(0, 1), std::string("Renamed"));
    }

    void deleteWords()
    {
        const std::string file = Copy("small.ald", "e.ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        const int rows = w->sgAldl->RowCount();
        // The blank last row with other words present: nothing at all, no question.
        w->sgAldl->SetRow(rows - 1);
        w->btnDelClick();
        QCOMPARE(w->sgAldl->RowCount(), rows);
        QVERIFY(dialogs->Messages().empty());
        // A chart word: its trace is emptied before the rebuild.
        int chartRow = -1;
        for (int r = 1; r < rows - 1 && chartRow < 0; ++r)
            if (w->sgAldl->Cells(colDisplay, r) == "Chart") chartRow = r;
        QVERIFY(chartRow > 0);
        const int chart = StrToIntDef(w->sgAldl->Cells(colChart, chartRow), 0);
        const int series = StrToIntDef(w->sgAldl->Cells(colSeries, chartRow), 0);
        w->Chart(chart)->Series().AddValue(series, 42);
        const std::string name = w->sgAldl->Cells(colName, chartRow);
        w->sgAldl->SetRow(chartRow);
        dialogs->QueueAnswer(MsgAnswer::No);
        w->btnDelClick();
        QCOMPARE(w->sgAldl->RowCount(), rows);
        dialogs->QueueAnswer(MsgAnswer::Yes);
        w->btnDelClick();
        QCOMPARE(dialogs->Messages().back(), std::string("Delete Current row?"));
        QCOMPARE(w->sgAldl->RowCount(), rows - 1);
        QVERIFY(w->sgAldl->Cells(colName, chartRow) != name);
        QCOMPARE(double(w->Chart(chart)->Series().GetValue(series, 1)), double(NoValue));
        QCOMPARE(w->Aldl.Count(), rows - 3);
        // Only the blank row: the question is asked and Yes just empties it.
        w->New1Click();
        w->sgAldl->SetCells(colName, 1, "typed");
        w->sgAldl->SetRow(1);
        dialogs->QueueAnswer(MsgAnswer::Yes);
        w->btnDelClick();
        QCOMPARE(w->sgAldl->RowCount(), 2);
        QCOMPARE(w->sgAldl->Cells(colName, 1), std::string());
    }

    void wordDroppedBelowTheBlankRow()
    {
        const std::string file = Copy("small.ald", "f.ald");
        dialogs->QueueFile(file);
        w->Open1Click();
        const int rows = w->sgAldl->RowCount();
        const std::string first = w->sgAldl->Cells(colName, 1);
        w->sgData->SetCells(2, 1, "kept"); // a row move runs no display set-up
        w->sgAldl->MoveGridRow(1, rows - 1);
        QCOMPARE(w->sgData->Cells(2, 1), std::string("kept"));
        QCOMPARE(w->sgAldl->Cells(colName, rows - 2), first);
        QCOMPARE(w->sgAldl->Cells(colName, rows - 1), std::string()); // the blank row is last again
        // the blank row dragged upwards goes back: Save keeps every word, Delete can reach it
        w->sgAldl->MoveGridRow(rows - 1, 1);
        QCOMPARE(w->sgAldl->Cells(colName, rows - 1), std::string());
        QCOMPARE(w->sgAldl->Cells(colName, rows - 2), first);
        w->Save1Click();
        QVERIFY(ReadAll(QString::fromStdString(file)).find("W" + std::to_string(rows - 2) + "=\"" + first) !=
                std::string::npos);
    }
};

int main(int argc, char** argv)
{
    TLxApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestDocuments t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_documents.moc"
