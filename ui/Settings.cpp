// The main window's settings file "Diduvuve.ini", and the charts' context
// menu with its colour and grid-line commands.
#include "ui/Main.h"

#include "decode/Hex.h"
#include "definitions/Dialogs.h"
#include "definitions/QtText.h"
#include "definitions/Sgrid.h"
#include "ui/Companions.h"
#include "ui/QtDialogs.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSplitter>

#include <algorithm>
#include <sys/stat.h>

namespace {

const char* const SettingsName = "Diduvuve.ini";
const char* const Form = "[FORM]";
const char* const Grid = "[GRID]";

// Reads integers for the whole settings file: a value that does not convert
// takes its key's default alone, and only the first such text is reported,
// so one bad line never costs the user the rest of the file.
class IntReader {
public:
    explicit IntReader(const TLxPersist& s) : s_(s) {}
    std::int32_t Int(const char* section, const char* key, const char* def)
    {
        const std::string text = s_.ReadString(section, key, def);
        std::int32_t v = 0;
        if (TryStrToInt(text, v)) return v;
        if (error.empty()) error = "'" + text + "' is not a valid integer value";
        return StrToIntDef(def, 0);
    }
    std::uint32_t Color(const char* section, const char* key, std::uint32_t def)
    {
        return static_cast<std::uint32_t>(Int(section, key, std::to_string(static_cast<std::int32_t>(def)).c_str()));
    }
    std::string error;

private:
    const TLxPersist& s_;
};

void WriteInt(TLxPersist& s, const std::string& section, const char* key, std::int64_t v)
{
    s.WriteString(section, key, std::to_string(v));
}

// Colours are kept as signed 32-bit numbers.
void WriteColor(TLxPersist& s, const std::string& section, const char* key, std::uint32_t c)
{
    WriteInt(s, section, key, static_cast<std::int32_t>(c));
}

// The settings file in the current directory, as a system path.
std::string SettingsHere()
{
    const QByteArray here = QDir::current().absoluteFilePath(SettingsName).toLocal8Bit();
    return std::string(here.constData(), static_cast<std::size_t>(here.size()));
}

std::string ChartSection(int n) { return "[CHART" + std::to_string(n) + "]"; }

bool FileExists(const std::string& name)
{
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0;
}

// Gives a splitter its first pane's height once it has its real size: sizes
// set earlier would be scaled to whatever size it had then.
class SplitKeeper : public QObject {
public:
    SplitKeeper(QSplitter* splitter, QObject* parent) : QObject(parent), splitter_(splitter)
    {
        setObjectName(Name);
        splitter->installEventFilter(this);
    }
    static constexpr const char* Name = "splitKeeper";
    void Set(int height)
    {
        height_ = height;
        pending_ = true;
        if (splitter_->isVisible()) Apply();
    }
    bool Pending() const { return pending_; }
    int Height() const { return height_; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (o == splitter_ && pending_ && (e->type() == QEvent::Resize || e->type() == QEvent::Show) &&
            splitter_->isVisible())
            Apply();
        return false;
    }

private:
    void Apply()
    {
        const int total = splitter_->height() - splitter_->handleWidth();
        if (total <= 0) return;
        pending_ = false;
        splitter_->setSizes({height_, std::max(0, total - height_)});
    }

    QSplitter* splitter_;
    int height_ = 0;
    bool pending_ = false;
};

// Found by name: the class has no meta-object of its own to cast by.
SplitKeeper* KeeperOf(QSplitter* s)
{
    return static_cast<SplitKeeper*>(s->findChild<QObject*>(SplitKeeper::Name, Qt::FindDirectChildrenOnly));
}

} // namespace

void TfrmMain::SetChartHeights(int split1, int split2)
{
    splitHeights_ = {std::max(split1, 0), std::max(split2, 0)};
    QSplitter* splitters[] = {Splitter1, Splitter2};
    for (int i = 0; i < 2; ++i) {
        SplitKeeper* k = KeeperOf(splitters[i]);
        if (!k) k = new SplitKeeper(splitters[i], splitters[i]);
        k->Set(splitHeights_[static_cast<std::size_t>(i)]);
    }
}

bool TfrmMain::ReadSettings()
{
    SettingsPath = SettingsHere();
    // No file: empty and nameless, silently. One that is there but refused
    // (too large, not a file) keeps its name, so the close leaves it alone
    // rather than writing over it.
    if (!Settings.LoadFile(SettingsPath) && FileExists(SettingsPath)) Settings.SetFileName(SettingsPath);

    IntReader read(Settings);
    QRect avail;
    if (QScreen* s = screen()) avail = s->availableVirtualGeometry();
    auto limit = [](int v, int max) { return max > 0 ? std::min(v, max) : v; };
    const int left = read.Int(Form, "Left", "10");
    const int top = read.Int(Form, "Top", "10");
    move(left, top);
    // Never larger than the desktop: a huge stored size would only cost memory.
    const int width = read.Int(Form, "Width", "780");
    const int height = read.Int(Form, "Height", std::to_string(DefaultHeight()).c_str());
    resize(limit(width, avail.width()), limit(height, avail.height()));
    const std::string state = Settings.ReadString(Form, "State", "Normal");
    if (state == "Normal" || state == "Minimized")
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    else if (state == "Maximized")
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    const int split1 = read.Int(Form, "Split1", "127");
    SetChartHeights(split1, read.Int(Form, "Split2", "257"));

    for (int n = 1; n <= 3; ++n) {
        const std::string sec = ChartSection(n);
        const char* s = sec.c_str();
        TLxChart* c = Chart(n);
        TLxChartColors& col = c->Colors();
        c->SetGrids(read.Int(s, "Lines", "2"));
        col.SetSeries4(read.Color(s, "Series4", ChartColor::Red));
        col.SetSeries3(read.Color(s, "Series3", ChartColor::Aqua));
        col.SetSeries2(read.Color(s, "Series2", ChartColor::Fuchsia));
        col.SetSeries1(read.Color(s, "Series1", ChartColor::Yellow));
        col.SetNotes(read.Color(s, "Notes", ChartColor::White)); // not the chart's own lime
        col.SetYlabels(read.Color(s, "Ylabels", ChartColor::White));
        col.SetGrids(read.Color(s, "Grids", ChartColor::White));
        col.SetBackGround(read.Color(s, "Background", ChartColor::Navy));
    }

    sgAldl->SetColWidthsText(Settings.ReadString(Grid, "AldlSizes", ""));
    sgData->SetColWidthsText(Settings.ReadString(Grid, "DataSizes", ""));
    sgMalf->SetColWidthsText(Settings.ReadString(Grid, "MalfSizes", ""));
    ReadReplaySettings();
    if (read.error.empty()) return true;
    Dialogs().Message(read.error, "Diduvuve", MsgButtons::Ok, MsgKind::Error);
    return false;
}

void TfrmMain::WriteSettings()
{
    if (SettingsPath.empty()) SettingsPath = SettingsHere();
    // Re-read so lines added by others meanwhile survive. A file that is
    // there but can't be read is left alone rather than overwritten blind;
    // one that has gone is written again from what was read at start.
    if (!Settings.ReloadFile() && FileExists(Settings.FileName)) return;

    // Heights the layout has not applied yet (window never shown) are kept as read.
    auto paneHeight = [](QSplitter* s, QWidget* pane, int stored) {
        SplitKeeper* k = KeeperOf(s);
        return k && k->Pending() ? stored : pane->height();
    };
    WriteInt(Settings, Form, "Split1", paneHeight(Splitter1, chart1, splitHeights_[0]));
    WriteInt(Settings, Form, "Split2", paneHeight(Splitter2, chart2, splitHeights_[1]));
    const Qt::WindowStates st = windowState();
    if (st & Qt::WindowMinimized) {
        Settings.WriteString(Form, "State", "Minimized");
    } else if (st & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        Settings.WriteString(Form, "State", "Maximized");
    } else {
        WriteInt(Settings, Form, "Left", x());
        WriteInt(Settings, Form, "Top", y());
        WriteInt(Settings, Form, "Width", width());
        WriteInt(Settings, Form, "Height", height());
        Settings.WriteString(Form, "State", "Normal");
    }

    Settings.WriteString(Grid, "MalfSizes", sgMalf->GetColWidthsText());
    Settings.WriteString(Grid, "DataSizes", sgData->GetColWidthsText());
    Settings.WriteString(Grid, "AldlSizes", sgAldl->GetColWidthsText());

    for (int n = 1; n <= 3; ++n) {
        const std::string s = ChartSection(n);
        const TLxChart* c = Chart(n);
        const TLxChartColors& col = c->Colors();
        WriteInt(Settings, s, "Lines", c->Grids());
        WriteColor(Settings, s, "Series4", col.Series4());
        WriteColor(Settings, s, "Series3", col.Series3());
        WriteColor(Settings, s, "Series2", col.Series2());
        WriteColor(Settings, s, "Series1", col.Series1());
        WriteColor(Settings, s, "Notes", col.Notes());
        WriteColor(Settings, s, "Ylabels", col.Ylabels());
        WriteColor(Settings, s, "Grids", col.Grids());
        WriteColor(Settings, s, "Background", col.BackGround());
    }
    WriteReplaySettings();
    // A file that can't be written never holds up the close, nor says so.
    struct Silent : TLxDialogs {
        std::optional<std::string> OpenFileName(const std::string&, const std::string&) override { return {}; }
        std::optional<std::string> SaveFileName(const std::string&, const std::string&) override { return {}; }
        MsgAnswer Message(const std::string&, const std::string&, MsgButtons, MsgKind) override { return MsgAnswer::Ok; }
        std::optional<std::uint32_t> PickColor(std::uint32_t) override { return {}; }
    } silent;
    TLxDialogs* const shown = SetDialogs(&silent);
    (void)Settings.SaveFile(SettingsPath);
    SetDialogs(shown);
}

void TfrmMain::BuildChartMenu()
{
    popChart = new QMenu(this);
    popChart->setObjectName("popChart");
    auto item = [this](QAction*& a, const char* name, const char* caption, void (TfrmMain::*handler)()) {
        a = popChart->addAction(QString::fromLatin1(caption));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    item(Defaultcolors, "Defaultcolors", "Restore defaults", &TfrmMain::DefaultcolorsClick);
    item(Gridlines, "Gridlines", "Number of grid lines...", &TfrmMain::GridlinesClick);
    item(GridColor, "GridColor", "Gridline color...", &TfrmMain::GridColorClick);
    item(Labelcolor, "Labelcolor", "YLabels color...", &TfrmMain::LabelcolorClick);
    item(Series1color, "Series1color", "Series1 color...", &TfrmMain::Series1colorClick);
    item(Series2color, "Series2color", "Series2 color...", &TfrmMain::Series2colorClick);
    item(Series3color, "Series3color", "Series3 color...", &TfrmMain::Series3colorClick);
    item(Series4color, "Series4color", "Series4 color...", &TfrmMain::Series4colorClick);
    item(Backgroundcolor, "Backgroundcolor", "Background color...", &TfrmMain::BackgroundcolorClick);
    // The press that opens the menu has already set PopupChart.
    for (TLxChart* c : {chart1, chart2, chart3})
        connect(c, &QWidget::customContextMenuRequested, this,
                [this, c](const QPoint& pos) { popChart->popup(c->mapToGlobal(pos)); });
}

void TfrmMain::DefaultcolorsClick()
{
    TLxChart* c = Chart(PopupChart);
    if (!c) return;
    TLxChartColors& col = c->Colors();
    col.SetSeries1(ChartColor::Yellow);
    col.SetSeries2(ChartColor::Fuchsia);
    col.SetSeries3(ChartColor::Aqua);
    col.SetSeries4(ChartColor::Red);
    col.SetGrids(ChartColor::White);
    col.SetYlabels(ChartColor::White);
    col.SetBackGround(ChartColor::Navy);
    c->SetGrids(2);
}

void TfrmMain::GridlinesClick()
{
    TfrmGridLines* dlg = frmGridLines;
    if (!dlg) {
        if (!ownGridLines_) ownGridLines_ = new TfrmGridLines(this);
        dlg = ownGridLines_;
    }
    if (ExecModal(*dlg) != QDialog::Accepted) return;
    TLxChart* c = Chart(PopupChart);
    if (!c) return;
    c->SetGrids(StrToIntDef(Latin1Of(dlg->txtGridLines->text()), c->Grids()));
}

void TfrmMain::PickChartColor(void (TLxChartColors::*set)(std::uint32_t),
                              std::uint32_t (TLxChartColors::*get)() const)
{
    TLxChart* c = Chart(PopupChart);
    const auto chosen = Dialogs().PickColor(c ? (c->Colors().*get)() : 0);
    if (chosen && c) (c->Colors().*set)(*chosen);
}

void TfrmMain::GridColorClick() { PickChartColor(&TLxChartColors::SetGrids, &TLxChartColors::Grids); }
void TfrmMain::LabelcolorClick() { PickChartColor(&TLxChartColors::SetYlabels, &TLxChartColors::Ylabels); }
void TfrmMain::Series1colorClick() { PickChartColor(&TLxChartColors::SetSeries1, &TLxChartColors::Series1); }
void TfrmMain::Series2colorClick() { PickChartColor(&TLxChartColors::SetSeries2, &TLxChartColors::Series2); }
void TfrmMain::Series3colorClick() { PickChartColor(&TLxChartColors::SetSeries3, &TLxChartColors::Series3); }
void TfrmMain::Series4colorClick() { PickChartColor(&TLxChartColors::SetSeries4, &TLxChartColors::Series4); }
void TfrmMain::BackgroundcolorClick()
{
    PickChartColor(&TLxChartColors::SetBackGround, &TLxChartColors::BackGround);
}
