#include "ui/Main.h"

#include "definitions/Dialogs.h"
#include "definitions/QtText.h"
#include "definitions/Sgrid.h"
#include "ui/Companions.h"
#include "ui/QtDialogs.h"
#include "ui/StatusBar.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

const char* const MainTitle = "ALDL 8192 baud Analyser";

// The caption with its small picture to the right, drawn at start-up into
// one image, so no artwork files are needed and the pair never drifts apart.
QIcon TransportIcon(const QString& caption, const QFont& font, char kind)
{
    const QFontMetrics fm(font);
    const int tw = fm.horizontalAdvance(caption);
    QPixmap pm(tw + 4 + 18, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, tw, 24), Qt::AlignLeft | Qt::AlignVCenter, caption);
    p.translate(tw + 4, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(kind == 'r' ? QColor(200, 0, 0) : QColor(0, 0, 128));
    auto tri = [&](qreal x0, qreal x1) {
        QPainterPath path;
        path.moveTo(x0, 2);
        path.lineTo(x1, 9);
        path.lineTo(x0, 16);
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (kind) {
    case 'w': tri(9, 1); tri(17, 9); break;                           // rewind
    case 's': p.drawRect(3, 3, 12, 12); break;                        // stop
    case 'p': p.drawRect(3, 2, 4, 14); p.drawRect(11, 2, 4, 14); break; // pause
    case 'a': tri(2, 12); p.drawRect(13, 2, 3, 14); break;            // advance
    case 'y': tri(3, 16); break;                                      // play
    case 'r': p.drawEllipse(2, 2, 14, 14); break;                     // record
    case 'b': p.drawRect(2, 2, 3, 14); tri(16, 6); break;             // back one frame
    }
    return QIcon(pm);
}

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("frmMain");
    QFont f = font();
    f.setFamily("Sans Serif");
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(8);
    setFont(f);
    BuildMenus();
    BuildToolBar();
    BuildPages();
    BuildChartMenu();
    BuildStatusBar();
    BuildReplayControls();
    BuildLinkCommands();
    resize(780, DefaultHeight());

    // Start-up state.
    setWindowTitle(MainTitle);
    playing = reading = running = comsOpen = false;
    rowDeleting = false;
    PopupChart = 0;
    SetRunState(0);

    // A bad value ends the reading there; the tables still get their
    // headers, since without them the data pages are unreadable.
    ReadSettings();
    sgData->SetRowText(0, "Name,ID,\"Raw Byte\",Value,Min,Max,\"Min Fail\",\"Max Fail\"");
    sgMalf->SetRowText(0, "Name,ID,\"Raw Byte\",Value,Min,Max,\"Fail Count\"");
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::BuildMenus()
{
    auto item = [this](QMenu* menu, QAction*& a, const char* name, const char* caption, QKeySequence key,
                       void (TfrmMain::*handler)()) {
        a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(name);
        if (!key.isEmpty()) a->setShortcut(key);
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    File1 = menuBar()->addMenu("&File");
    File1->setObjectName("File1");
    item(File1, New1, "New1", "&New", QKeySequence(Qt::CTRL | Qt::Key_N), &TfrmMain::New1Click);
    File1->addSeparator();
    item(File1, Open1, "Open1", "&Open...", QKeySequence(Qt::CTRL | Qt::Key_O), &TfrmMain::Open1Click);
    item(File1, ImportAdx1, "ImportAdx1", "Import ADX...", QKeySequence(), &TfrmMain::ImportAdx1Click);
    ImportAdx1->setText(QString::fromUtf8("Import ADX\u2026"));
    item(File1, Save1, "Save1", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S), &TfrmMain::Save1Click);
    item(File1, SaveAs1, "SaveAs1", "Save &As", QKeySequence(), &TfrmMain::SaveAs1Click);
    File1->addSeparator();
    item(File1, Exit1, "Exit1", "E&xit", QKeySequence(Qt::CTRL | Qt::Key_X), &TfrmMain::Exit1Click);

    View1 = menuBar()->addMenu("&View");
    View1->setObjectName("View1");
    item(View1, Editor1, "Editor1", "ALDL Definition Editor", QKeySequence(Qt::Key_F8), &TfrmMain::ALDL2Click);
    item(View1, Stream1, "Stream1", "ALDL Data", QKeySequence(Qt::Key_F9), &TfrmMain::Stream1Click);
    item(View1, Charts1, "Charts1", "ALDL Charts", QKeySequence(Qt::Key_F10), &TfrmMain::Charts1Click);
    item(View1, Malf1, "Malf1", "Malfunction Flags", QKeySequence(Qt::Key_F11), &TfrmMain::Malf1Click);
    item(View1, RawALDLData1, "RawALDLData1", "Raw Data", QKeySequence(Qt::Key_F12), &TfrmMain::RawALDLData1Click);

    Aldl1 = menuBar()->addMenu("&Aldl");
    Aldl1->setObjectName("Aldl1");
    item(Aldl1, Logging1, "Logging1", "Record &Log File...", QKeySequence(Qt::CTRL | Qt::Key_L), &TfrmMain::Logging1Click);
    Logging1->setCheckable(true);
    Aldl1->addSeparator();
    item(Aldl1, Rewind1, "Rewind1", "Rewind", QKeySequence(Qt::Key_F2), &TfrmMain::btnRewindClick);
    item(Aldl1, Stop1, "Stop1", "Stop", QKeySequence(Qt::Key_F3), &TfrmMain::btnStopClick);
    item(Aldl1, Pause1, "Pause1", "Pause", QKeySequence(Qt::Key_F4), &TfrmMain::btnPauseClick);
    item(Aldl1, Advance1, "Advance1", "Advance", QKeySequence(Qt::Key_F5), &TfrmMain::btnAdvanceClick);
    item(Aldl1, Play1, "Play1", "Replay From Log File", QKeySequence(Qt::Key_F6), &TfrmMain::btnPlayClick);
    item(Aldl1, Record1, "Record1", "Read Serial ALDL", QKeySequence(Qt::Key_F7), &TfrmMain::btnRecordClick);
    Aldl1->addSeparator();
    Hexidecimal1 = Aldl1->addAction("Display In Hex");
    Hexidecimal1->setObjectName("Hexidecimal1");
    Hexidecimal1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    Hexidecimal1->setCheckable(true);
    // The handler owns the toggle: undo the one the action made on its own.
    connect(Hexidecimal1, &QAction::triggered, this, [this](bool checked) {
        Hexidecimal1->setChecked(!checked);
        Hexidecimal1Click();
    });
    item(Aldl1, ResetFailCounts1, "ResetFailCounts1", "Reset Fail Counts", QKeySequence(Qt::CTRL | Qt::Key_R),
         &TfrmMain::ResetFailCounts1Click);

    Help1 = menuBar()->addMenu("&Help");
    Help1->setObjectName("Help1");
    item(Help1, Help2, "Help2", "Help", QKeySequence(Qt::Key_F1), &TfrmMain::Help2Click);
    Help1->addSeparator();
    item(Help1, ALDLConnector1, "ALDLConnector1", "ALDL Connector", QKeySequence(), &TfrmMain::OBDII1Click);
    item(Help1, About1, "About1", "&About", QKeySequence(), &TfrmMain::About1Click);
}

void TfrmMain::BuildToolBar()
{
    ToolBar1 = addToolBar("ToolBar1");
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFixedHeight(33);
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(21);
    auto button = [&](QToolButton*& b, const char* name, const char* caption, const char* hint, char icon,
                      void (TfrmMain::*handler)()) {
        b = new QToolButton(ToolBar1);
        b->setObjectName(name);
        b->setText(caption);
        b->setToolTip(hint);
        b->setFont(bold);
        b->setIcon(TransportIcon(caption, bold, icon));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly); // the caption is part of the picture
        b->setAutoRaise(true);
        ToolBar1->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    button(btnRewind, "btnRewind", "f2", "Rewind to start", 'w', &TfrmMain::btnRewindClick);
    button(btnStop, "btnStop", "f3", "Stop", 's', &TfrmMain::btnStopClick);
    button(btnPause, "btnPause", "f4", "Pause", 'p', &TfrmMain::btnPauseClick);
    button(btnAdvance, "btnAdvance", "f5", "Advance one frame", 'a', &TfrmMain::btnAdvanceClick);
    button(btnPlay, "btnPlay", "f6", "Replay From Log File", 'y', &TfrmMain::btnPlayClick);
    button(btnRecord, "btnRecord", "f7", "Read Serial ALDL", 'r', &TfrmMain::btnRecordClick);
    ToolBar1->setIconSize(QSize(64, 24)); // large enough for every caption; pictures are never scaled up
}

QWidget* TfrmMain::BuildEditorPage()
{
    auto* page = new QWidget;
    page->setObjectName("aldl");
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    auto edit = [&](QLineEdit*& e, const char* name, const char* label, int row, int col, int span = 1) {
        e = new QLineEdit(page);
        e->setObjectName(name);
        KeepOneLine(e);
        auto* l = new QLabel(label, page);
        l->setBuddy(e);
        grid->addWidget(l, row, col);
        grid->addWidget(e, row, col + 1, 1, span);
    };
    auto combo = [&](QComboBox*& c, const char* name, const char* label, QStringList items, int row, int col) {
        c = new QComboBox(page);
        c->setObjectName(name);
        c->addItems(items);
        c->setCurrentIndex(-1);
        grid->addWidget(new QLabel(label, page), row, col);
        grid->addWidget(c, row, col + 1);
    };
    edit(txtTitle, "txtTitle", "Title:", 0, 0, 3);
    edit(txtCountry, "txtCountry", "Country:", 0, 4);
    edit(txtVin, "txtVin", "VIN Code:", 1, 0, 3);
    edit(txtLitres, "txtLitres", "Litres:", 1, 4);
    edit(txtYear, "txtYear", "Year:", 2, 0);
    combo(cbInject, "cbInject", "Injection:", {"TBI", "PFI", "Other"}, 2, 2);
    edit(txtEcm, "txtEcm", "ECM Type:", 3, 0);
    edit(txtPromID, "txtPromID", "Prom ID:", 3, 2);
    combo(cbTrans, "cbTrans", "Transmission:", {"Automatic", "Manual", "Other"}, 3, 4);
    edit(txtRequest, "txtRequest", "Request:", 4, 0, 2);
    grid->addWidget(new QLabel("in hex.", page), 4, 3);
    edit(txtInterval, "txtInterval", "Interval between requests:", 5, 0);
    grid->addWidget(new QLabel("in ms.", page), 5, 2);
    chkEcho = new QCheckBox("Request echo", page);
    chkEcho->setObjectName("chkEcho");
    grid->addWidget(chkEcho, 5, 3);
    edit(txtCom, "txtCom", "Serial port: COM", 5, 4);

    btnEdit = new QPushButton("&Edit", page);
    btnEdit->setObjectName("btnEdit");
    btnDel = new QPushButton("&Delete", page);
    btnDel->setObjectName("btnDel");
    // Enter on a focused button presses it, as in the word dialog
    btnEdit->setAutoDefault(true);
    btnDel->setAutoDefault(true);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmMain::btnEditClick);
    connect(btnDel, &QPushButton::clicked, this, &TfrmMain::btnDelClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnEdit);
    buttons->addWidget(btnDel);

    sgAldl = new TLxSgrid(page);
    sgAldl->setObjectName("sgAldl");
    sgAldl->SetDefaultColWidth(30);
    sgAldl->SetDefaultRowHeight(18);
    sgAldl->SetColWidth(0, 123);
    sgAldl->SetColWidth(1, 92);
    for (int c = 2; c < sgAldl->ColCount(); ++c) sgAldl->SetColWidth(c, 30);
    connect(sgAldl, &TLxSgrid::CellDoubleClicked, this, [this](int, int) { btnEditClick(); });
    connect(sgAldl, &TLxSgrid::RowMoved, this, &TfrmMain::sgAldlRowMoved);

    auto* v = new QVBoxLayout(page);
    v->addLayout(grid);
    v->addLayout(buttons);
    v->addWidget(sgAldl, 1);
    return page;
}

void TfrmMain::BuildPages()
{
    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    Image1 = new QLabel(central);
    Image1->setObjectName("Image1");
    Image1->setFixedHeight(48);
    // Wide enough for any desktop; a narrower window shows its left part.
    Image1->setPixmap(BannerPicture(2560, 48));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setMinimumWidth(1);
    v->addWidget(Image1);

    tabMain = new QTabWidget(central);
    tabMain->setObjectName("tabMain");
    tabMain->setMinimumSize(180, 156);
    v->addWidget(tabMain, 1);
    setCentralWidget(central);

    aldl = BuildEditorPage();
    tabMain->addTab(aldl, "ALDL Editor (f8)");

    auto table = [&](QWidget*& page, const char* pageName, TLxSgrid*& g, const char* name, int cols) {
        page = new QWidget;
        page->setObjectName(pageName);
        g = new TLxSgrid(page);
        g->setObjectName(name);
        g->SetColCount(cols);
        g->SetRowCount(2);
        g->SetDefaultRowHeight(18);
        g->SetDefaultColWidth(65);
        g->SetColWidth(0, 131);
        g->SetColWidth(1, 98);
        for (int c = 2; c < cols; ++c) g->SetColWidth(c, 65);
        auto* l = new QVBoxLayout(page);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(g);
    };
    table(Stream, "Stream", sgData, "sgData", 8);
    tabMain->addTab(Stream, "ALDL Data (f9)");

    Charts = new QWidget;
    Charts->setObjectName("Charts");
    Splitter1 = new QSplitter(Qt::Vertical, Charts);
    Splitter1->setObjectName("Splitter1");
    Splitter2 = new QSplitter(Qt::Vertical);
    Splitter2->setObjectName("Splitter2");
    for (QSplitter* s : {Splitter1, Splitter2}) {
        s->setHandleWidth(3);
        s->setChildrenCollapsible(false);
    }
    auto chart = [&](TLxChart*& c, const char* name, int n) {
        c = new TLxChart;
        c->setObjectName(name);
        c->setCursor(Qt::CrossCursor);
        c->setMinimumSize(100, 50);
        c->SetYlabelsWidth(32);
        c->SetLegendWidth(64);
        c->SetGrids(2);
        c->SetMaxRange(255);
        c->SetSpeed(4);
        c->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(c, &TLxChart::MouseDown, this, [this, n](Qt::MouseButton b, int, int) {
            if (b == Qt::RightButton) PopupChart = n;
        });
    };
    chart(chart1, "chart1", 1);
    chart(chart2, "chart2", 2);
    chart(chart3, "chart3", 3);
    Splitter1->addWidget(chart1);
    Splitter1->addWidget(Splitter2);
    Splitter2->addWidget(chart2);
    Splitter2->addWidget(chart3);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);
    SetChartHeights(127, 257);
    auto* cl = new QVBoxLayout(Charts);
    cl->setContentsMargins(0, 0, 0, 0);
    cl->addWidget(Splitter1);
    tabMain->addTab(Charts, "ALDL Charts (f10)");

    table(Malf, "Malf", sgMalf, "sgMalf", 7);
    tabMain->addTab(Malf, "Malfunction Flags (f11)");

    Raw = new QWidget;
    Raw->setObjectName("Raw");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    txtSend = new QLineEdit(Raw);
    txtSend->setObjectName("txtSend");
    KeepOneLine(txtSend);
    txtSend->setFont(fixed);
    memRecv = new QPlainTextEdit(Raw);
    memRecv->setObjectName("memRecv");
    memRecv->setFont(fixed);
    memRecv->setLineWrapMode(QPlainTextEdit::NoWrap);
    memRecv->setMinimumHeight(50);
    memRecv->setMaximumBlockCount(24); // the raw view keeps the last 24 lines
    memRecv->setReadOnly(true);
    QPalette pal = memRecv->palette();
    pal.setColor(QPalette::Text, QColor(0, 0, 128));
    memRecv->setPalette(pal);
    auto* rl = new QVBoxLayout(Raw);
    rl->addWidget(new QLabel("Request:", Raw));
    rl->addWidget(txtSend);
    rl->addWidget(new QLabel("Response:", Raw));
    rl->addWidget(memRecv, 1);
    tabMain->addTab(Raw, "Raw Data (F12)");
}

std::int32_t TfrmMain::rawByte(const std::uint8_t* buf, int last, std::int32_t startByte, std::int32_t startBit,
                               std::int32_t bits) const
{
    return RawWord(buf, last, startByte, startBit, bits);
}

int TfrmMain::DefaultHeight() const { return 580 + StatusBar1->sizeHint().height(); }

void TfrmMain::BuildStatusBar()
{
    StatusBar1 = new TLxStatusBar(this);
    setStatusBar(StatusBar1);
    StatusBar1->SetRunSource([this] {
        TLxStatusBar::Run run;
        auto fileName = [](const std::string& path) { return QFileInfo(QString::fromLocal8Bit(path)).fileName(); };
        if (!playing && !reading) run.state = "Idle";
        else if (!running) run.state = "Paused";
        else if (playing) run.state = "Replaying " + fileName(playFile.Name());
        else run.state = "Reading COM" + QString::number(StrToIntDef(Latin1Of(txtCom->text()), 1));
        if (reading && linkKeeper.Lost()) {
            run.state += ", link lost";
            if (!linkKeeper.TryError().empty())
                run.stateTip = QString::fromLocal8Bit("Last try to open the port: " + linkKeeper.TryError());
        }
        if (logFile.IsOpen()) run.recording = fileName(logFile.Name());
        return run;
    });
}

void TfrmMain::SetRunState(int state)
{
    const bool idle = state == 0;
    btnRewind->setEnabled(false);
    Rewind1->setEnabled(false);
    btnStop->setEnabled(!idle);
    Stop1->setEnabled(!idle);
    btnPause->setEnabled(!idle);
    Pause1->setEnabled(!idle);
    btnAdvance->setEnabled(state == 2);
    Advance1->setEnabled(state == 2);
    btnPlay->setEnabled(idle);
    Play1->setEnabled(idle);
    btnRecord->setEnabled(idle);
    Record1->setEnabled(idle);
    Logging1->setEnabled(idle);
    File1->menuAction()->setEnabled(idle);
    View1->menuAction()->setEnabled(idle);
    Help1->menuAction()->setEnabled(idle);
    // A disabled top menu must not leave its shortcuts live.
    for (QMenu* m : {File1, View1, Help1})
        for (QAction* a : m->actions()) a->setEnabled(idle);
    aldl->setEnabled(idle);
}

// Page and display commands.
void TfrmMain::ALDL2Click() { tabMain->setCurrentWidget(aldl); }
void TfrmMain::Stream1Click() { tabMain->setCurrentWidget(Stream); }
void TfrmMain::Charts1Click() { tabMain->setCurrentWidget(Charts); }
void TfrmMain::Malf1Click() { tabMain->setCurrentWidget(Malf); }
void TfrmMain::RawALDLData1Click() { tabMain->setCurrentWidget(Raw); }
void TfrmMain::Hexidecimal1Click() { Hexidecimal1->setChecked(!Hexidecimal1->isChecked()); }

void TfrmMain::ResetFailCounts1Click()
{
    for (int r = 1; r < sgData->RowCount(); ++r)
        for (int c : {2, 3, 6, 7}) sgData->SetCells(c, r, "");
    for (int r = 1; r < sgMalf->RowCount(); ++r)
        for (int c : {2, 3, 6}) sgMalf->SetCells(c, r, "");
}

void TfrmMain::Help2Click() { ShowMessage("Not implemented yet"); }
void TfrmMain::OBDII1Click()
{
    if (frmPinout) {
        frmPinout->setWindowState(frmPinout->windowState() & ~Qt::WindowMinimized);
        frmPinout->show();
        frmPinout->raise();
        frmPinout->activateWindow();
    }
}
void TfrmMain::About1Click()
{
    if (frmAbout) ExecModal(*frmAbout);
}

void TfrmMain::Exit1Click() { close(); }

// No menu that could hide the tool bar.
QMenu* TfrmMain::createPopupMenu() { return nullptr; }

void TfrmMain::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (shownOnce_) return;
    shownOnce_ = true;
    // The window always opens centred; the stored position is only kept.
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        if (QScreen* s = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(s->availableGeometry().center());
            move(frame.topLeft());
        }
}

void TfrmMain::closeEvent(QCloseEvent* e)
{
    if (playing || reading) btnStopClick();
    // Written before the unsaved question, so a refused close still keeps them.
    WriteSettings();
    if (!DocumentCloseQuery()) {
        e->ignore();
        return;
    }
    // Recording stays safe: every line is already with the system; close it now.
    if (logFile.IsOpen()) logFile.Close();
    e->accept();
}
