// The main window offscreen: layout, display set-up and frame decoding.
#include "decode/Errors.h"
#include "definitions/Sgrid.h"
#include "tests/support/ScriptedDialogs.h"
#include "ui/Companions.h"
#include "ui/Main.h"
#include "ui/QtDialogs.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextOption>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

// Words name only the cells a case needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

struct Word {
    std::string name, id, start, bits = "8", display = "Value", chart, series, dmin, dmax, factor, offset, flags,
        amin, amax;
};

void Define(TfrmMain& w, const std::vector<Word>& words)
{
    TLxSgrid* g = w.sgAldl;
    g->SetRowCount(static_cast<int>(words.size()) + 2);
    for (int c = 0; c < g->ColCount(); ++c) g->SetCells(c, g->RowCount() - 1, "");
    for (std::size_t i = 0; i < words.size(); ++i) {
        const Word& d = words[i];
        const int r = static_cast<int>(i) + 1;
        std::vector<std::pair<int, std::string>> cells = {
            {colName, d.name}, {colID, d.id}, {colStart, d.start}, {colBits, d.bits}, {colAmin, d.amin},
            {colAmax, d.amax}, {colDisplay, d.display}, {colChart, d.chart}, {colSeries, d.series},
            {colDmin, d.dmin}, {colDmax, d.dmax}, {colFactor, d.factor}, {colOffset, d.offset}, {colFlags, d.flags}};
        for (int c = 0; c < g->ColCount(); ++c) g->SetCells(c, r, "");
        for (auto& [c, t] : cells) g->SetCells(c, r, t);
    }
    w.SetUpDisplays();
}

FrameBuffer Frame(std::initializer_list<std::pair<int, int>> bytes)
{
    FrameBuffer f{};
    for (auto [pos1, v] : bytes) f[static_cast<std::size_t>(pos1 - 1)] = static_cast<std::uint8_t>(v);
    return f;
}

std::string Cell(TLxSgrid* g, int c, int r) { return g->Cells(c, r); }

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    ScriptedDialogs* dialogs = nullptr;
    TfrmMain* w = nullptr;

private slots:
    void init()
    {
        dialogs = new ScriptedDialogs;
        w = new TfrmMain;
    }
    void cleanup()
    {
        delete w;
        QVERIFY2(dialogs->unexpected.empty(), dialogs->unexpected.empty() ? "" : dialogs->unexpected.front().c_str());
        delete dialogs;
    }

    void layoutAtStart()
    {
        QCOMPARE(w->windowTitle(), QString("ALDL 8192 baud Analyser"));
        struct B { QToolButton* b; const char* caption; const char* hint; bool enabled; } buttons[] = {
            {w->btnRewind, "f2", "Rewind to start", false}, {w->btnStop, "f3", "Stop", false},
            {w->btnPause, "f4", "Pause", false}, {w->btnAdvance, "f5", "Advance one frame", false},
            {w->btnPlay, "f6", "Replay From Log File", true}, {w->btnRecord, "f7", "Read Serial ALDL", true}};
        for (auto& b : buttons) {
            QCOMPARE(b.b->text(), QString(b.caption));
            QCOMPARE(b.b->toolTip(), QString(b.hint));
            QCOMPARE(b.b->isEnabled(), b.enabled);
        }
        QStringList tabs;
        for (int i = 0; i < w->tabMain->count(); ++i) tabs << w->tabMain->tabText(i);
        QCOMPARE(tabs, QStringList({"ALDL Editor (f8)", "ALDL Data (f9)", "ALDL Charts (f10)",
                                    "Malfunction Flags (f11)", "Raw Data (F12)", "Log Analysis (Shift+F12)"}));
        // "Display In Hex" is item 9 of the Aldl menu, separators counted.
        QList<QAction*> aldl = w->Aldl1->actions();
        QCOMPARE(aldl.size(), 13); // the cable check comes last, after its separator
        QCOMPARE(aldl[12]->text(), QString::fromUtf8("Check Cable and Car\u2026"));
        QCOMPARE(aldl[9], w->Hexidecimal1);
        QCOMPARE(aldl[9]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
        QVERIFY(!w->Hexidecimal1->isChecked());
        QVERIFY(aldl[1]->isSeparator() && aldl[8]->isSeparator());
        QVERIFY(!w->Rewind1->isEnabled() && !w->Stop1->isEnabled() && !w->Advance1->isEnabled());
        QVERIFY(w->Play1->isEnabled() && w->Record1->isEnabled() && w->Logging1->isEnabled());
        QCOMPARE(w->Stop1->shortcut(), QKeySequence(Qt::Key_F3));
        QCOMPARE(w->Exit1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
        QCOMPARE(w->File1->actions().size(), 8);
        QCOMPARE(w->ImportAdx1->text(), QString::fromUtf8("Import ADX\u2026"));
        QCOMPARE(w->sgData->ColCount(), 8);
        QCOMPARE(w->sgMalf->ColCount(), 7);
        QCOMPARE(Cell(w->sgData, 2, 0), std::string("Raw Byte"));
        QCOMPARE(Cell(w->sgData, 7, 0), std::string("Max Fail"));
        QCOMPARE(Cell(w->sgMalf, 6, 0), std::string("Fail Count"));
        QCOMPARE(w->sgAldl->ColCount(), 17);
        QCOMPARE(w->sgAldl->ColWidth(0), 123);
        QCOMPARE(w->sgAldl->ColWidth(1), 92);
    }

    void emptyDefinition()
    {
        Define(*w, {});
        QCOMPARE(w->Aldl.Count(), 0);
        QCOMPARE(w->sgData->RowCount(), 2);
        QCOMPARE(w->sgMalf->RowCount(), 2);
        for (int n = 1; n <= 3; ++n) {
            QCOMPARE(double(w->Chart(n)->MinRange()), 0.0);
            QCOMPARE(double(w->Chart(n)->MaxRange()), 1.0);
            for (int s = 1; s <= 4; ++s)
                QCOMPARE(w->Chart(n)->Series().SeriesName(s), "Series " + std::to_string(s));
        }
    }

    void rowsFollowDecoderOrderPerTable()
    {
        Define(*w, {{.name = "v1", .id = "A"}, {.name = "f1", .id = "B", .display = "Flag"},
                    {.name = "v2", .id = "C", .amin = "10", .amax = "200"},
                    {.name = "f2", .id = "D", .display = "Flag"}, {.name = "v3", .id = "E", .display = "chart"}});
        QCOMPARE(w->sgData->RowCount(), 4);
        QCOMPARE(w->sgMalf->RowCount(), 3);
        QCOMPARE(Cell(w->sgData, 0, 1) + Cell(w->sgData, 0, 2) + Cell(w->sgData, 0, 3), std::string("v1v2v3"));
        QCOMPARE(Cell(w->sgMalf, 0, 1) + Cell(w->sgMalf, 1, 2), std::string("f1D"));
        QCOMPARE(Cell(w->sgData, 4, 2), std::string("10"));
        QCOMPARE(Cell(w->sgData, 5, 2), std::string("200"));
        QCOMPARE(Cell(w->sgData, 5, 1), std::string("255"));
    }

    void chartRangesAndNames()
    {
        Define(*w, {{.name = "rpm", .id = "RPM", .display = "Chart", .chart = "2", .series = "3"},
                    {.name = "clt", .id = "CLT", .display = "Chart", .chart = "1", .series = "1", .dmin = "-40", .dmax = "150"},
                    {.name = "lo", .id = "LO", .display = "chart", .chart = "3", .series = "1", .dmin = "-500"},
                    {.name = "s0", .id = "S0", .display = "Chart", .chart = "3", .series = "0", .dmax = "900"},
                    {.name = "c4", .id = "C4", .display = "Chart", .chart = "4", .series = "1", .dmax = "900"},
                    {.name = "s9", .id = "S9", .display = "Chart", .chart = "1", .series = "9", .dmax = "300"}});
        QCOMPARE(double(w->chart2->MinRange()), 0.0);
        QCOMPARE(double(w->chart2->MaxRange()), 255.0);
        QCOMPARE(w->chart2->Series().SeriesName(3), std::string("RPM"));
        QCOMPARE(double(w->chart1->MinRange()), -40.0);
        QCOMPARE(double(w->chart1->MaxRange()), 300.0); // a series outside 1..4 still widens
        QCOMPARE(w->chart1->Series().SeriesName(1), std::string("CLT"));
        QCOMPARE(double(w->chart3->MinRange()), 0.0);
        QCOMPARE(double(w->chart3->MaxRange()), 1.0);
        QCOMPARE(w->chart3->Series().SeriesName(1), std::string("Series 1"));
        Define(*w, {{.name = "n", .id = "N", .display = "Chart", .chart = "1", .series = "2", .dmin = "10", .dmax = "0.5"}});
        QCOMPARE(double(w->chart1->MinRange()), 0.0);
        QCOMPARE(double(w->chart1->MaxRange()), 1.0);
        QCOMPARE(w->chart1->Series().SeriesName(1), std::string("Series 1"));
        QCOMPARE(w->chart1->Series().SeriesName(2), std::string("N"));
    }

    void decodesValuesAndScaling()
    {
        Define(*w, {{.name = "w16", .start = "10", .bits = "16", .factor = "0.25"},
                    {.name = "clt", .start = "1", .factor = "0.75", .offset = "-40"},
                    {.name = "far", .start = "60"}});
        FrameBuffer f = Frame({{9, 3}, {10, 232}, {1, 100}});
        f[59] = 77;
        w->DecodeFrame(f, 40);
        QCOMPARE(Cell(w->sgData, 2, 1), std::string("1000"));
        QCOMPARE(Cell(w->sgData, 3, 1), std::string("250"));
        QCOMPARE(Cell(w->sgData, 3, 2), std::string("35"));
        QCOMPARE(Cell(w->sgData, 3, 3), std::string("77")); // a word past the frame reads the buffer
        f[0] = 101;
        w->DecodeFrame(f, 40);
        QCOMPARE(Cell(w->sgData, 3, 2), std::string("35.75"));
        f[0] = 53;
        w->DecodeFrame(f, 40);
        QCOMPARE(Cell(w->sgData, 3, 2), std::string("-0.2500"));
        QCOMPARE(Cell(w->sgData, 6, 2), std::string("1")); // -0.25 is below the default minimum 0
    }

    void flagTextsAndFailCounts()
    {
        Define(*w, {{.name = "ac", .display = "Flag", .flags = "Off,On"},
                    {.name = "three", .start = "2", .display = "Flag", .factor = "0.5", .flags = "a,b,c"},
                    {.name = "fifth", .start = "3", .display = "Flag", .factor = "0.2", .flags = "a,b,c"},
                    {.name = "lim", .start = "4", .amin = "10", .amax = "200"}});
        auto frame = [&](int b1, int b2, int b3, int b4) {
            w->DecodeFrame(Frame({{1, b1}, {2, b2}, {3, b3}, {4, b4}}), 4);
        };
        frame(0, 5, 13, 10);
        QCOMPARE(Cell(w->sgMalf, 3, 1), std::string("Off"));
        QCOMPARE(Cell(w->sgMalf, 3, 2), std::string("c")); // 2.5 rounds to 2
        QCOMPARE(Cell(w->sgMalf, 3, 3), std::string("?")); // 2.6 rounds to 3, past the texts
        QCOMPARE(Cell(w->sgMalf, 2, 3), std::string("13"));
        QCOMPARE(Cell(w->sgData, 6, 1), std::string("")); // equal to Amin is no fail
        frame(1, 7, 0, 9);
        QCOMPARE(Cell(w->sgMalf, 3, 1), std::string("On"));
        QCOMPARE(Cell(w->sgMalf, 3, 2), std::string("?")); // 3.5 rounds to 4
        QCOMPARE(Cell(w->sgData, 6, 1), std::string("1"));
        frame(2, 0, 0, 201);
        QCOMPARE(Cell(w->sgMalf, 3, 1), std::string("?"));
        QCOMPARE(Cell(w->sgData, 6, 1), std::string("1"));
        QCOMPARE(Cell(w->sgData, 7, 1), std::string("1"));
        frame(0, 0, 0, 5);
        QCOMPARE(Cell(w->sgData, 6, 1), std::string("2"));
        w->sgData->SetCells(7, 1, "junk");
        frame(0, 0, 0, 250);
        QCOMPARE(Cell(w->sgData, 7, 1), std::string("1")); // a cell that is no integer counts from 0
        // Set-up empties every value and count cell again.
        w->SetUpDisplays();
        QCOMPARE(Cell(w->sgData, 6, 1) + Cell(w->sgData, 7, 1) + Cell(w->sgData, 3, 1) + Cell(w->sgMalf, 3, 1),
                 std::string());
    }

    void chartFeed()
    {
        w->show(); // charts with their real size and pictures
        w->Charts1Click();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        Define(*w, {{.name = "a", .start = "1", .chart = "1", .series = "2"},
                    {.name = "b", .start = "2", .chart = "1", .series = "2"},
                    {.name = "v", .start = "3", .chart = "3", .series = "1"},
                    {.name = "f", .start = "4", .display = "Flag", .chart = "2", .series = "1"}});
        w->DecodeFrame(Frame({{1, 10}, {2, 20}, {3, 30}, {4, 1}}), 4);
        QCOMPARE(double(w->chart1->Series().GetValue(2, 1)), 20.0); // the later word wins the trace
        QCOMPARE(double(w->chart3->Series().GetValue(1, 1)), 30.0); // a Value word feeds its trace
        QCOMPARE(double(w->chart2->Series().GetValue(1, 1)), double(NoValue)); // Flag words feed no chart
        QCOMPARE(double(w->chart1->Series().GetValue(1, 1)), double(NoValue));
        w->DecodeFrame(Frame({}), 0);
        QCOMPARE(double(w->chart1->Series().GetValue(2, 1)), 20.0); // an empty frame adds nothing
    }

    void everyChartStepsOncePerDecodedFrame()
    {
        w->show();
        w->Charts1Click();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        Define(*w, {{.name = "a", .start = "1", .display = "Chart", .chart = "2", .series = "1"},
                    {.name = "bad", .start = "200"}});
        const int x0[] = {w->chart1->WriteX(), w->chart2->WriteX(), w->chart3->WriteX()};
        auto steps = [&](int n) { return w->Chart(n)->WriteX() - x0[n - 1]; };
        QVERIFY_THROWS_EXCEPTION(ERangeError, w->DecodeFrame(Frame({{1, 5}}), 1)); // a failing frame
        w->DecodeFrame(Frame({}), 0);
        for (int n = 1; n <= 3; ++n) QCOMPARE(steps(n), 0);
        Define(*w, {{.name = "a", .start = "1", .display = "Chart", .chart = "2", .series = "1"}});
        w->DecodeFrame(Frame({{1, 5}}), 1);
        w->DecodeFrame(Frame({{1, 6}}), 1);
        for (int n = 1; n <= 3; ++n) QCOMPARE(steps(n), 2); // charts without words step too
    }

    void flagWordLimitsAndFailCount()
    {
        Define(*w, {{.name = "f", .start = "1", .bits = "2", .display = "Flag", .flags = "a,b,c,d", .amin = "1",
                     .amax = "2"},
                    {.name = "g", .start = "2", .bits = "3", .display = "Flag", .flags = "x"}});
        QCOMPARE(Cell(w->sgMalf, 4, 1) + "/" + Cell(w->sgMalf, 5, 1), std::string("1/2"));
        QCOMPARE(Cell(w->sgMalf, 4, 2) + "/" + Cell(w->sgMalf, 5, 2), std::string("0/7"));
        for (int raw : {3, 0, 1, 2}) w->DecodeFrame(Frame({{1, raw}}), 2);
        QCOMPARE(Cell(w->sgMalf, 6, 1), std::string("2"));
        QCOMPARE(Cell(w->sgMalf, 6, 2), std::string(""));
        // Reset Fail Counts empties what a frame wrote and keeps the limits.
        w->sgData->SetRowCount(2);
        for (int c = 0; c < 8; ++c) w->sgData->SetCells(c, 1, std::to_string(c));
        w->ResetFailCounts1->trigger();
        QCOMPARE(Cell(w->sgMalf, 2, 1) + Cell(w->sgMalf, 3, 1) + Cell(w->sgMalf, 6, 1), std::string());
        QCOMPARE(Cell(w->sgMalf, 0, 1) + Cell(w->sgMalf, 4, 1) + Cell(w->sgMalf, 5, 1), std::string("f12"));
        std::string data;
        for (int c = 0; c < 8; ++c) data += Cell(w->sgData, c, 1) + ",";
        QCOMPARE(data, std::string("0,1,,,4,5,,,"));
    }

    void wideChartRangeFromTheDefinition()
    {
        Define(*w, {{.name = "maf", .display = "Chart", .chart = "1", .series = "1", .dmin = "-200000",
                     .dmax = "150000"}});
        QCOMPARE(double(w->chart1->MinRange()), -200000.0);
        QCOMPARE(double(w->chart1->MaxRange()), 150000.0);
    }

    void tipShowsAtThePointerAboveTheCharts()
    {
        w->show();
        w->Charts1Click();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        Define(*w, {{.name = "a", .start = "1", .display = "Chart", .chart = "1", .series = "1"},
                    {.name = "b", .start = "1", .display = "Chart", .chart = "2", .series = "1"},
                    {.name = "c", .start = "1", .display = "Chart", .chart = "3", .series = "1"}});
        for (int i = 0; i < 8; ++i) w->DecodeFrame(Frame({{1, 100 + i}}), 1);
        QCoreApplication::processEvents();
        const int panes1 = w->Splitter1->count(), panes2 = w->Splitter2->count();
        const int heights[] = {w->chart1->height(), w->chart2->height(), w->chart3->height()};
        for (int n = 1; n <= 3; ++n) {
            TLxChart* c = w->Chart(n);
            const QPoint at(c->PlotRect().Right - c->Speed() - 3, c->height() / 4);
            QTest::mousePress(c, Qt::LeftButton, {}, at);
            QCoreApplication::processEvents();
            QVERIFY(c->Tip() && c->Tip()->isVisible());
            QCOMPARE(c->Tip()->window(), static_cast<QWidget*>(w));
            QCOMPARE(c->Tip()->mapTo(w, QPoint(0, 0)), c->mapTo(w, at));
            QCOMPARE(w->Splitter1->count(), panes1);
            QCOMPARE(w->Splitter2->count(), panes2);
            for (int k = 1; k <= 3; ++k) QCOMPARE(w->Chart(k)->height(), heights[k - 1]);
            QTest::mouseRelease(c, Qt::LeftButton, {}, at);
            QVERIFY(!c->Tip());
        }
    }

    void commandsOfTheMenus()
    {
        const std::pair<QAction*, QWidget*> pages[] = {{w->RawALDLData1, w->Raw}, {w->Malf1, w->Malf},
                                                       {w->Charts1, w->Charts}, {w->Stream1, w->Stream},
                                                       {w->Editor1, w->aldl}};
        int key = Qt::Key_F12;
        for (auto [a, page] : pages) {
            QCOMPARE(a->shortcut(), QKeySequence(key--));
            a->trigger();
            QCOMPARE(w->tabMain->currentWidget(), page);
        }
        w->Hexidecimal1->trigger();
        QVERIFY(w->Hexidecimal1->isChecked());
        w->Hexidecimal1Click();
        QVERIFY(!w->Hexidecimal1->isChecked());
        w->Help2->trigger();
        QCOMPARE(dialogs->Messages(), std::vector<std::string>{"Not implemented yet"});
        QVERIFY(!w->createPopupMenu()); // nothing that hides the tool bar
        QCOMPARE(w->font().pointSize(), 8);
        QCOMPARE(w->font().styleHint(), QFont::SansSerif);
    }

    void informationWindows()
    {
        TfrmAbout about(w);
        TfrmPinout pinout(w);
        frmAbout = &about;
        frmPinout = &pinout;
        const QPoint centre = about.screen()->availableGeometry().center();
        auto centred = [&](QWidget& win) { return (win.frameGeometry().center() - centre).manhattanLength() <= 2; };

        // About: the picture is the client area; the credits panel keeps its state.
        QCOMPARE(about.size(), about.Image1->pixmap().size());
        QCOMPARE(about.Memo1->document()->blockCount(), 2);
        QVERIFY(about.memCredits->toPlainText().contains("Qt 6"));
        QCOMPARE(about.memCredits->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(about.memCredits->document()->defaultTextOption().alignment(), Qt::AlignHCenter);
        QCOMPARE(about.Memo1->document()->defaultTextOption().alignment(), Qt::AlignHCenter);
        int shown = 0, atCentre = 0;
        const ModalHook old = SetModalHook([&](QDialog& d) -> int {
            d.show();
            ++shown;
            atCentre += centred(d);
            if (shown == 1) about.btnCredits->click();
            const bool panel = about.pnlCredits->isVisible();
            about.btnOK->click();
            return panel ? 1 : 0;
        });
        w->About1->trigger();
        QVERIFY(!about.isVisible());
        w->About1->trigger(); // shown again: panel still up, button says so
        SetModalHook(old);
        QCOMPARE(shown, 2);
        QCOMPARE(atCentre, 2);
        QVERIFY(!about.pnlCredits->isHidden());
        QCOMPARE(about.btnCredits->text(), QString("No &Credits"));
        about.btnCredits->click();
        QVERIFY(about.pnlCredits->isHidden());
        QCOMPARE(about.btnCredits->text(), QString("&Credits"));

        // Pinout: not modal, fixed content, 10 pixels past Ok.
        w->ALDLConnector1->trigger();
        QVERIFY(pinout.isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(&pinout));
        QVERIFY(centred(pinout));
        QCOMPARE(pinout.StaticText4->text(), QString("Australian ALDL connector Pinout"));
        QCOMPARE(pinout.StaticText1->text() + "|" + pinout.StaticText2->text() + "|" + pinout.StaticText3->text(),
                 QString("Pin 5: ALDL Signal Ground|Pin 9: ALDL Signal Data|Pin 16: +12V"));
        QCOMPARE(pinout.Memo1->text(), QString("The General Motors Holden, VS Commodore ALDL Connector is\n"
                                               "physically the same shape as a standard OBDII connector.\n"
                                               "However the pinout configuration is very different."));
        QCOMPARE(pinout.Image1->size(), QSize(169, 61));
        QCOMPARE(pinout.width(), pinout.btnOk->geometry().right() + 1 + 10);
        QCOMPARE(pinout.height(), pinout.btnOk->geometry().bottom() + 1 + 10);
        QCOMPARE(pinout.minimumSize(), pinout.maximumSize());
        // a minimised pinout comes back; Enter on a focused Ok (or Delete) presses it
        pinout.showMinimized();
        w->ALDLConnector1->trigger();
        QVERIFY(!pinout.isMinimized() && pinout.isVisible());
        QTest::keyClick(pinout.btnOk, Qt::Key_Return);
        QVERIFY(!pinout.isVisible());
        QVERIFY(w->btnEdit->autoDefault());
        w->sgAldl->SetRow(1);
        dialogs->QueueAnswer(MsgAnswer::No);
        QTest::keyClick(w->btnDel, Qt::Key_Return);
        QVERIFY(dialogs->ScriptUsedUp());
        frmAbout = nullptr;
        frmPinout = nullptr;
    }

    void startByteOutsideFrameThrows()
    {
        Define(*w, {{.name = "ok", .start = "1", .chart = "1", .series = "1"}, {.name = "bad", .start = "0"},
                    {.name = "after", .start = "2"}});
        const int writeX = w->chart1->WriteX();
        QVERIFY_THROWS_EXCEPTION(ERangeError, w->DecodeFrame(Frame({{1, 9}, {2, 8}}), 2));
        QCOMPARE(Cell(w->sgData, 2, 1), std::string("9")); // cells before the bad word are kept
        QCOMPARE(Cell(w->sgData, 2, 3), std::string(""));  // decoding stopped at the bad word
        QCOMPARE(double(w->chart1->Series().GetValue(1, 1)), double(NoValue)); // no chart point
        QCOMPARE(w->chart1->WriteX(), writeX);
    }

    void movedTableRowsAreWrittenByPosition()
    {
        Define(*w, {{.name = "first", .start = "1"}, {.name = "second", .start = "2"}});
        w->sgData->MoveGridRow(1, 2);
        QCOMPARE(Cell(w->sgData, 0, 2), std::string("first"));
        w->DecodeFrame(Frame({{1, 11}, {2, 22}}), 2);
        QCOMPARE(Cell(w->sgData, 2, 1), std::string("11"));
        QCOMPARE(Cell(w->sgData, 2, 2), std::string("22"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
