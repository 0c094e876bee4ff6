// The main window's settings file, the chart context menu and the grid-lines dialog.
#include "definitions/Sgrid.h"
#include "tests/support/WindowFixture.h"
#include "ui/Companions.h"
#include "ui/Main.h"
#include "ui/QtDialogs.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const char* const Ini = "Diduvuve.ini";

// Keeps a modal hook installed for one scope.
struct HookGuard {
    explicit HookGuard(ModalHook h) { old = SetModalHook(std::move(h)); }
    ~HookGuard() { SetModalHook(std::move(old)); }
    ModalHook old;
};

QByteArray ReadAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& name, const QByteArray& data)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QByteArray Crlf(QByteArray text) { return text.replace("\n", "\r\n"); }

QByteArray Section(const QByteArray& file, const QByteArray& header)
{
    const QList<QByteArray> lines = file.split('\n');
    QByteArray out;
    bool in = false;
    for (QByteArray l : lines) {
        l = l.trimmed();
        if (l.startsWith('[')) in = l == header;
        else if (in && !l.isEmpty()) out += l + "\n";
    }
    return out;
}

QByteArray DefaultChart(int n)
{
    return "[CHART" + QByteArray::number(n) +
           "]\nBackground=8388608\nGrids=16777215\nYlabels=16777215\nNotes=16777215\nSeries1=65535\n"
           "Series2=16711935\nSeries3=16776960\nSeries4=255\nLines=2\n";
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFolder> fx;
    ScriptedDialogs* dialogs = nullptr;
    TfrmMain* w = nullptr;

    // Starts the window with `ini` as the settings file (none when null).
    void Start(const char* ini = nullptr)
    {
        if (ini) WriteAll(Ini, Crlf(ini));
        w = new TfrmMain;
    }
    void ShowCharts()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->Charts1Click();
        QCoreApplication::processEvents();
    }
    QByteArray Written() const { return ReadAll(fx->tmp.filePath(Ini)); }

private slots:
    void init()
    {
        fx = std::make_unique<TestFolder>();
        dialogs = &fx->dialogs;
    }
    void cleanup()
    {
        delete w;
        w = nullptr;
        TestFolder::End(fx);
    }

    void firstRunUsesDefaultsAndWritesTheFullFile()
    {
        Start();
        // The status bar sits below pages of the usual size.
        const int height = 580 + w->statusBar()->sizeHint().height();
        QVERIFY(height > 580);
        QCOMPARE(w->size(), QSize(780, height));
        ShowCharts();
        QCOMPARE(w->chart1->height(), 127);
        QCOMPARE(w->chart2->height(), 257);
        QCOMPARE(w->chart1->Colors().Notes(), 16777215u); // the file's default, not the chart's
        QCOMPARE(w->sgData->Cells(2, 0), std::string("Raw Byte"));
        QVERIFY(dialogs->asked.empty());
        QVERIFY(!QFile::exists(Ini));

        QVERIFY(w->close());
        const QByteArray expected = Crlf(
            "[FORM]\nState=Normal\nHeight=" + QByteArray::number(height) + "\nWidth=780\nTop=" + QByteArray::number(w->y()) +
            "\nLeft=" + QByteArray::number(w->x()) +
            "\nSplit2=257\nSplit1=127\n\n[GRID]\n"
            "AldlSizes=123,92,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30\n"
            "DataSizes=131,98,65,65,65,65,65,65\nMalfSizes=131,98,65,65,65,65,65\n\n" +
            DefaultChart(1) + "\n" + DefaultChart(2) + "\n" + DefaultChart(3));
        QCOMPARE(Written(), expected);
    }

    void storedValuesAreAppliedAndWrittenBack()
    {
        Start("[FORM]\nLeft=33\nTop=44\nWidth=700\nHeight=500\nState=Normal\nSplit1=100\nSplit2=150\n"
              "[CHART2]\nLines=5\nSeries1=1\nSeries2=2\nSeries3=3\nSeries4=4\nNotes=5\nYlabels=6\nGrids=7\n"
              "Background=-16777216\n"
              "[GRID]\nDataSizes=50,60,x\nAldlSizes=\n");
        QCOMPARE(w->pos(), QPoint(33, 44)); // read, but not where the window opens
        QCOMPARE(w->size(), QSize(700, 500));
        TLxChartColors& c2 = w->chart2->Colors();
        QCOMPARE(w->chart2->Grids(), 5);
        QCOMPARE((std::array{c2.Series1(), c2.Series2(), c2.Series3(), c2.Series4(), c2.Notes(), c2.Ylabels(),
                             c2.Grids()}),
                 (std::array<std::uint32_t, 7>{1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(c2.BackGround(), 0xFF000000u);
        QCOMPARE(w->chart1->Colors().Series1(), 65535u);
        QCOMPARE(w->sgData->ColWidth(0), 50);
        QCOMPARE(w->sgData->ColWidth(1), 60);
        QCOMPARE(w->sgData->ColWidth(2), 32); // not a number
        QCOMPARE(w->sgData->ColWidth(3), 65); // no field: layout width
        QCOMPARE(w->sgAldl->ColWidth(0), 123);

        ShowCharts();
        const QRect avail = w->screen()->availableGeometry();
        QVERIFY(std::abs(w->frameGeometry().center().x() - avail.center().x()) <= 1);
        QVERIFY(std::abs(w->frameGeometry().center().y() - avail.center().y()) <= 1);
        QCOMPARE(w->chart1->height(), 100);
        QCOMPARE(w->chart2->height(), 150);
        w->resize(700, 560); // growing the window grows only the bottom chart
        QCoreApplication::processEvents();
        QCOMPARE(w->chart1->height(), 100);
        QCOMPARE(w->chart2->height(), 150);

        // Lines another program adds meanwhile survive the write.
        QByteArray now = ReadAll(Ini);
        WriteAll(Ini, now + "\r\n[OTHER]\r\nKeep=1\r\n");
        w->chart2->Colors().SetSeries3(0xABCDEF);
        QVERIFY(w->close());
        const QByteArray file = Written();
        QCOMPARE(Section(file, "[OTHER]"), QByteArray("Keep=1\n"));
        QCOMPARE(Section(file, "[CHART2]"), QByteArray("Lines=5\nSeries1=1\nSeries2=2\nSeries3=11259375\nSeries4=4\n"
                                                       "Notes=5\nYlabels=6\nGrids=7\nBackground=-16777216\n"));
        QCOMPARE(Section(file, "[FORM]"),
                 "Left=" + QByteArray::number(w->x()) + "\nTop=" + QByteArray::number(w->y()) +
                     "\nWidth=700\nHeight=560\nState=Normal\nSplit1=100\nSplit2=150\n");
        // Keys already there keep their place; the new one goes below the header.
        const QByteArray grid = Section(file, "[GRID]");
        QVERIFY(grid.startsWith("MalfSizes=131,98,65,"));
        QVERIFY(grid.contains("\nDataSizes=50,60,32,65,65,65,65,65\nAldlSizes=123,92,30,"));
    }

    void gridLinesAreClampedByTheChart()
    {
        Start("[CHART1]\nLines=12\n[CHART3]\nLines=1\n");
        QCOMPARE(w->chart1->Grids(), 10);
        QCOMPARE(w->chart2->Grids(), 2);
        QCOMPARE(w->chart3->Grids(), 2);
    }

    void windowStates()
    {
        Start("[FORM]\nState=Minimized\n");
        QCOMPARE(w->windowState(), Qt::WindowNoState);
        delete w;
        Start("[FORM]\nState=maximized\n");
        QCOMPARE(w->windowState(), Qt::WindowNoState);
        delete w;
        w = nullptr;

        // Closing maximised keeps the bounds last written in the normal state.
        Start("[FORM]\nLeft=1\nTop=2\nWidth=600\nHeight=400\nState=Maximized\nSplit1=90\nSplit2=91\n");
        QVERIFY(w->windowState() & Qt::WindowMaximized);
        ShowCharts();
        const int h1 = w->chart1->height(), h2 = w->chart2->height();
        QVERIFY(w->close());
        QCOMPARE(Section(Written(), "[FORM]"), "Left=1\nTop=2\nWidth=600\nHeight=400\nState=Maximized\nSplit1=" +
                                                   QByteArray::number(h1) + "\nSplit2=" + QByteArray::number(h2) +
                                                   "\n");
    }

    void notShownKeepsTheStoredPaneHeights()
    {
        Start("[FORM]\nSplit1=70\nSplit2=80\n");
        QVERIFY(w->close());
        QVERIFY(Section(Written(), "[FORM]").contains("Split1=70\nSplit2=80\n"));
    }

    void aBadIntegerCostsOnlyItsOwnKey()
    {
        Start("[FORM]\nLeft=20\nWidth=abc\nHeight=300\n[CHART1]\nLines=5\nSeries2=zz\nSeries1=7\n"
              "[GRID]\nDataSizes=40\n");
        QCOMPARE(dialogs->Messages(), std::vector<std::string>{"'abc' is not a valid integer value"});
        QCOMPARE(w->x(), 20);
        QCOMPARE(w->size(), QSize(780, 300));
        QCOMPARE(w->chart1->Grids(), 5);
        QCOMPARE(w->chart1->Colors().Series2(), 16711935u);
        QCOMPARE(w->chart1->Colors().Series1(), 7u);
        QCOMPARE(w->sgData->ColWidth(0), 40);
        QCOMPARE(w->sgData->Cells(7, 0), std::string("Max Fail"));
        // The next close writes the user's values back, not defaults.
        QVERIFY(w->close());
        QVERIFY(Section(Written(), "[CHART1]").contains("Series1=7\n"));
        QVERIFY(Section(Written(), "[FORM]").contains("Height=300\n"));
    }

    void hugeStoredSizeIsLimitedToTheDesktop()
    {
        Start("[FORM]\nWidth=2000000000\nHeight=2000000000\nSplit1=-5\n");
        const QRect desk = w->screen()->availableVirtualGeometry();
        QVERIFY(w->width() <= desk.width() && w->height() <= desk.height());
        ShowCharts();
        QVERIFY(w->chart1->height() >= 50);
    }

    void settingsAreWrittenEvenWhenTheCloseIsCancelled()
    {
        Start();
        w->txtTitle->setText("changed");
        dialogs->QueueAnswer(MsgAnswer::Cancel);
        QVERIFY(!w->close());
        QCOMPARE(dialogs->Messages(),
                 std::vector<std::string>{"Aldl configuration has not been saved. Save now?"});
        QVERIFY(Written().startsWith("[FORM]\r\n"));
        dialogs->QueueAnswer(MsgAnswer::No);
        QVERIFY(w->close());
    }

    void anUnreadableFileIsLeftAloneButTheQuestionIsStillAsked()
    {
        Start("[FORM]\nWidth=700\n");
        QVERIFY(QFile::remove(Ini));
        QVERIFY(QDir().mkdir(Ini)); // there, but not readable as a file
        w->txtTitle->setText("changed");
        dialogs->QueueAnswer(MsgAnswer::No);
        QVERIFY(w->close());
        QCOMPARE(dialogs->Messages().size(), std::size_t(1));
        QVERIFY(QFileInfo(Ini).isDir());
    }

    void aDeletedFileIsWrittenAgainWhereItWasRead()
    {
        Start("[FORM]\nWidth=700\n[MINE]\nA=1\n");
        QVERIFY(QFile::remove(Ini));
        QTemporaryDir elsewhere;
        QDir::setCurrent(elsewhere.path());
        QVERIFY(w->close());
        QDir::setCurrent(fx->tmp.path());
        QVERIFY(!QFile::exists(elsewhere.filePath(Ini)));
        const QByteArray file = Written();
        QVERIFY(Section(file, "[FORM]").contains("Width=700\n"));
        QCOMPARE(Section(file, "[MINE]"), QByteArray("A=1\n"));
    }

    void contextMenuItems()
    {
        Start();
        QStringList captions, names;
        for (QAction* a : w->popChart->actions()) {
            captions << a->text();
            names << a->objectName();
        }
        QCOMPARE(captions, (QStringList{"Restore defaults", "Number of grid lines...", "Gridline color...",
                                        "YLabels color...", "Series1 color...", "Series2 color...",
                                        "Series3 color...", "Series4 color...", "Background color..."}));
        QCOMPARE(names, (QStringList{"Defaultcolors", "Gridlines", "GridColor", "Labelcolor", "Series1color",
                                     "Series2color", "Series3color", "Series4color", "Backgroundcolor"}));
        for (TLxChart* c : {w->chart1, w->chart2, w->chart3})
            QCOMPARE(c->contextMenuPolicy(), Qt::CustomContextMenu);
    }

    void colourCommandsActOnTheRightClickedChart()
    {
        Start();
        ShowCharts();
        // Before any right click the dialog is shown and nothing changes.
        dialogs->QueueColor(0x123456);
        w->Series1color->trigger();
        QCOMPARE(dialogs->asked.size(), std::size_t(1));
        for (TLxChart* c : {w->chart1, w->chart2, w->chart3}) QCOMPARE(c->Colors().Series1(), 65535u);

        QTest::mousePress(w->chart2, Qt::LeftButton, {}, QPoint(60, 20));
        QTest::mouseRelease(w->chart2, Qt::LeftButton, {}, QPoint(60, 20));
        QCOMPARE(w->PopupChart, 0);
        QTest::mousePress(w->chart2, Qt::RightButton, {}, QPoint(5, 5));
        QTest::mouseRelease(w->chart2, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(w->PopupChart, 2);
        w->popChart->hide();

        struct Cmd { QAction* a; std::uint32_t (TLxChartColors::*get)() const; } cmds[] = {
            {w->GridColor, &TLxChartColors::Grids},     {w->Labelcolor, &TLxChartColors::Ylabels},
            {w->Series1color, &TLxChartColors::Series1}, {w->Series2color, &TLxChartColors::Series2},
            {w->Series3color, &TLxChartColors::Series3}, {w->Series4color, &TLxChartColors::Series4},
            {w->Backgroundcolor, &TLxChartColors::BackGround}};
        std::uint32_t colour = 0x10;
        for (auto& c : cmds) {
            const std::uint32_t before = (w->chart2->Colors().*c.get)();
            dialogs->QueueColor(std::nullopt); // cancelled: unchanged
            c.a->trigger();
            QCOMPARE((w->chart2->Colors().*c.get)(), before);
            dialogs->QueueColor(++colour);
            c.a->trigger();
            QCOMPARE((w->chart2->Colors().*c.get)(), colour);
            QCOMPARE((w->chart1->Colors().*c.get)(), (w->chart3->Colors().*c.get)());
        }
        w->chart2->Colors().SetNotes(42);
        w->chart2->SetGrids(7);
        w->Defaultcolors->trigger();
        const TLxChartColors& d = w->chart2->Colors();
        QCOMPARE((std::array{d.Series1(), d.Series2(), d.Series3(), d.Series4(), d.Grids(), d.Ylabels(),
                             d.BackGround()}),
                 (std::array<std::uint32_t, 7>{65535, 16711935, 16776960, 255, 16777215, 16777215, 8388608}));
        QCOMPARE(d.Notes(), 42u);
        QCOMPARE(w->chart2->Grids(), 2);
        QVERIFY(dialogs->ScriptUsedUp());
    }

    void gridLinesCommand()
    {
        Start();
        TfrmGridLines dlg(w);
        frmGridLines = &dlg;
        struct Reset { ~Reset() { frmGridLines = nullptr; } } reset;
        QCOMPARE(dlg.windowTitle(), QString("Grid Lines..."));
        QCOMPARE(dlg.txtGridLines->text(), QString("2"));

        std::vector<QString> typed;
        int shown = 0;
        bool stayedOpen = true;
        HookGuard hook([&](QDialog& d) {
            ++shown;
            auto& g = static_cast<TfrmGridLines&>(d);
            g.setResult(0);
            g.show();
            for (std::size_t i = 0; i < typed.size(); ++i) {
                g.txtGridLines->setText(typed[i]);
                if (typed[i] == "esc") {
                    QTest::keyClick(&g, Qt::Key_Escape);
                    break;
                }
                g.btnOk->click();
                if (i + 1 < typed.size()) stayedOpen = stayedOpen && g.isVisible();
            }
            g.hide();
            return g.result();
        });

        // A refused value keeps the dialog open; the chart changes only on OK.
        typed = {"9", "abc", "1", "5"};
        w->PopupChart = 3;
        w->GridlinesClick();
        QVERIFY(stayedOpen);
        QCOMPARE(dialogs->Messages(), std::vector<std::string>(3, "Grid lines must be between 2 and 8."));
        QCOMPARE(w->chart3->Grids(), 5);
        QCOMPARE(w->chart1->Grids(), 2);

        typed = {"7", "esc"};
        w->GridlinesClick();
        QCOMPARE(w->chart3->Grids(), 5);
        QCOMPARE(dlg.txtGridLines->text(), QString("esc")); // the edit keeps what was typed

        typed = {"6"};
        w->PopupChart = 0;
        w->Gridlines->trigger();
        QCOMPARE(shown, 3);
        for (TLxChart* c : {w->chart1, w->chart2}) QCOMPARE(c->Grids(), 2);
        QCOMPARE(w->chart3->Grids(), 5);
    }

    void upDownStepsWithinTheRange()
    {
        TfrmGridLines dlg;
        TLxUpDown* u = dlg.UpDown1;
        QVERIFY(u);
        QCOMPARE(u->Min(), 2);
        QCOMPARE(u->Max(), 8);
        dlg.txtGridLines->setText("7");
        u->Step(1);
        u->Step(1);
        QCOMPARE(dlg.txtGridLines->text(), QString("8"));
        dlg.txtGridLines->setText("12");
        u->Step(-1);
        QCOMPARE(dlg.txtGridLines->text(), QString("7"));
        dlg.txtGridLines->setText("x");
        u->Step(-1); // from the last position
        QCOMPARE(dlg.txtGridLines->text(), QString("6"));
        dlg.txtGridLines->setText("2");
        QTest::keyClick(dlg.txtGridLines, Qt::Key_Down);
        QCOMPARE(dlg.txtGridLines->text(), QString("2"));
        QTest::keyClick(dlg.txtGridLines, Qt::Key_Up);
        QCOMPARE(dlg.txtGridLines->text(), QString("3"));
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
