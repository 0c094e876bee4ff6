#include "ui/LogAnalysis.h"

#include "decode/WordDecode.h"
#include "definitions/Analysis.h"
#include "definitions/Dialogs.h"
#include "definitions/QtText.h"
#include "link/FrameSource.h"
#include "link/LogFile.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor kSeries[4] = {QColor(255, 255, 0), QColor(255, 0, 255), QColor(0, 255, 255), QColor(255, 64, 64)};

// Outlines the cell of the frame shown last.
class OutlineDelegate : public QStyledItemDelegate {
public:
    OutlineDelegate(const int& current, int& columns, QObject* parent)
        : QStyledItemDelegate(parent), current_(current), columns_(columns) {}
    void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const override
    {
        QStyledItemDelegate::paint(p, o, i);
        if (current_ < 0 || i.row() * columns_ + i.column() != current_) return;
        p->save();
        p->setPen(QPen(Qt::black, 3));
        p->drawRect(o.rect.adjusted(1, 1, -2, -2));
        p->restore();
    }

private:
    const int& current_;
    int& columns_;
};

int gColumns = 0; // the delegate's view of the table's width

} // namespace

void TOverviewData::Clear()
{
    Time.clear();
    for (auto& v : Values) v.clear();
    for (auto& v : Highs) v.clear();
    Per = 1;
    lastCount_ = 0;
}

void TOverviewData::Add(std::int64_t t, const std::array<float, 4>& v)
{
    if (!Time.empty() && lastCount_ < Per) {
        for (std::size_t i = 0; i < 4; ++i) { // fmin and fmax pass over a NaN
            Values[i].back() = std::fmin(Values[i].back(), v[i]);
            Highs[i].back() = std::fmax(Highs[i].back(), v[i]);
        }
        ++lastCount_;
        return;
    }
    if (Time.size() >= Cap) Compact();
    Time.push_back(t);
    for (std::size_t i = 0; i < 4; ++i) {
        Values[i].push_back(v[i]);
        Highs[i].push_back(v[i]);
    }
    lastCount_ = 1;
}

void TOverviewData::Compact()
{
    const std::size_t half = Time.size() / 2;
    for (std::size_t k = 0; k < half; ++k) {
        Time[k] = Time[2 * k];
        for (std::size_t i = 0; i < 4; ++i) {
            Values[i][k] = std::fmin(Values[i][2 * k], Values[i][2 * k + 1]);
            Highs[i][k] = std::fmax(Highs[i][2 * k], Highs[i][2 * k + 1]);
        }
    }
    Time.resize(half);
    for (std::size_t i = 0; i < 4; ++i) {
        Values[i].resize(half);
        Highs[i].resize(half);
    }
    Per *= 2;
}

// ---------------------------------------------------------------- overview

TLxOverview::TLxOverview(const TOverviewData& data, QWidget* parent) : QWidget(parent), data_(data)
{
    setObjectName("chartOverview");
    setMinimumHeight(100);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
}

QRect TLxOverview::Plot() const { return rect().adjusted(4, 18, -4, -4); }

void TLxOverview::ResetZoom()
{
    zoomed_ = false;
    update();
}

void TLxOverview::SetRange(std::int64_t from, std::int64_t to)
{
    if (to <= from) to = from + 1;
    from_ = from, to_ = to;
    zoomed_ = true;
    update();
}

void TLxOverview::SetCursorTime(std::int64_t ms)
{
    if (ms == cursor_) return;
    const int before = XOf(cursor_);
    cursor_ = ms;
    if (XOf(cursor_) != before) update();
}

int TLxOverview::XOf(std::int64_t t) const
{
    const QRect p = Plot();
    const std::int64_t from = zoomed_ ? from_ : 0;
    const std::int64_t to = zoomed_ ? to_ : std::max<std::int64_t>(1, data_.Time.empty() ? 1 : data_.Time.back());
    return p.left() + static_cast<int>(static_cast<double>(t - from) * (p.width() - 1) / static_cast<double>(std::max<std::int64_t>(1, to - from)));
}

std::int64_t TLxOverview::TimeAt(int x) const
{
    const QRect p = Plot();
    const std::int64_t from = zoomed_ ? from_ : 0;
    const std::int64_t to = zoomed_ ? to_ : (data_.Time.empty() ? 0 : data_.Time.back());
    const double f = std::clamp((x - p.left()) / double(std::max(1, p.width() - 1)), 0.0, 1.0);
    return from + static_cast<std::int64_t>(f * static_cast<double>(to - from) + 0.5);
}

void TLxOverview::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 128));
    const QRect plot = Plot();
    p.setPen(QColor(255, 255, 255, 60));
    for (int g = 0; g <= 4; ++g) p.drawLine(plot.left(), plot.top() + g * plot.height() / 4, plot.right(), plot.top() + g * plot.height() / 4);
    int lx = 6;
    for (int s = 0; s < 4; ++s) {
        const auto& name = data_.Names[static_cast<std::size_t>(s)];
        if (name.empty()) continue;
        p.setPen(kSeries[s]);
        const QString t = Latin1(name);
        p.drawText(lx, 13, t);
        lx += fontMetrics().horizontalAdvance(t) + 14;
    }
    const std::size_t n = data_.Size();
    if (n == 0) return;
    const std::int64_t from = zoomed_ ? from_ : 0;
    const std::int64_t to = zoomed_ ? to_ : std::max<std::int64_t>(1, data_.Time.back());
    const int w = plot.width();
    const double perPx = static_cast<double>(to - from) / std::max(1, w - 1);
    // Frame ranges per pixel column, found once for all series.
    std::vector<std::size_t> edge(static_cast<std::size_t>(w) + 1);
    for (int x = 0; x <= w; ++x) {
        const auto t = static_cast<std::int64_t>(std::ceil(static_cast<double>(from) + (x - 0.5) * perPx));
        edge[static_cast<std::size_t>(x)] =
            static_cast<std::size_t>(std::lower_bound(data_.Time.begin(), data_.Time.end(), t) - data_.Time.begin());
    }
    for (int s = 0; s < 4; ++s) {
        const auto& v = data_.Values[static_cast<std::size_t>(s)];
        const auto& hv = data_.Highs[static_cast<std::size_t>(s)];
        if (data_.Names[static_cast<std::size_t>(s)].empty() || v.size() != n || hv.size() != n) continue;
        const double lo = data_.Lo[static_cast<std::size_t>(s)], hi = data_.Hi[static_cast<std::size_t>(s)];
        const double scale = (plot.height() - 1) / (hi > lo ? hi - lo : 1.0);
        auto y = [&](float value) {
            return plot.bottom() - static_cast<int>(std::clamp((value - lo) * scale, -2.0, plot.height() + 1.0));
        };
        p.setPen(kSeries[s]);
        int prevY = -1;
        for (int x = 0; x < w; ++x) {
            const std::size_t a = edge[static_cast<std::size_t>(x)], b = edge[static_cast<std::size_t>(x) + 1];
            if (a >= b) continue;
            float mn = std::numeric_limits<float>::infinity(), mx = -mn;
            for (std::size_t i = a; i < b; ++i) {
                if (v[i] < mn) mn = v[i]; // NaN compares false: skipped
                if (hv[i] > mx) mx = hv[i];
            }
            if (mn > mx) continue;
            const int y0 = y(mn), y1 = y(mx);
            if (prevY >= 0) p.drawLine(plot.left() + x - 1, prevY, plot.left() + x, std::clamp(prevY, y1, y0));
            p.drawLine(plot.left() + x, y0, plot.left() + x, y1);
            prevY = y(v[b - 1]);
        }
    }
    if (dragX_ >= 0 && pressX_ >= 0) {
        p.fillRect(QRect(QPoint(std::min(pressX_, dragX_), plot.top()), QPoint(std::max(pressX_, dragX_), plot.bottom())),
                   QColor(255, 255, 255, 50));
    }
    if (cursor_ >= 0) {
        p.setPen(QPen(Qt::white, 1, Qt::DashLine));
        const int cx = XOf(cursor_);
        if (cx >= plot.left() && cx <= plot.right()) p.drawLine(cx, plot.top(), cx, plot.bottom());
    }
}

void TLxOverview::wheelEvent(QWheelEvent* e)
{
    if (data_.Time.empty()) return;
    const std::int64_t from = zoomed_ ? from_ : 0, to = zoomed_ ? to_ : data_.Time.back();
    const std::int64_t at = TimeAt(static_cast<int>(e->position().x()));
    const double k = e->angleDelta().y() > 0 ? 0.8 : 1.25;
    std::int64_t a = at - static_cast<std::int64_t>((at - from) * k), b = at + static_cast<std::int64_t>((to - at) * k);
    a = std::max<std::int64_t>(a, 0);
    b = std::min<std::int64_t>(b, data_.Time.back());
    if (b - a < 100) return;
    if (a == 0 && b == data_.Time.back()) ResetZoom();
    else SetRange(a, b);
}

void TLxOverview::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) pressX_ = static_cast<int>(e->position().x());
}

void TLxOverview::mouseMoveEvent(QMouseEvent* e)
{
    const int x = static_cast<int>(e->position().x());
    if (pressX_ >= 0 && std::abs(x - pressX_) > 4) {
        dragX_ = x;
        update();
    }
    if (data_.Time.empty()) return;
    // Pointing shows the values of the frame there.
    const std::int64_t t = TimeAt(x);
    const auto it = std::lower_bound(data_.Time.begin(), data_.Time.end(), t);
    const std::size_t i = std::min<std::size_t>(static_cast<std::size_t>(it - data_.Time.begin()), data_.Size() - 1);
    QString text = QString::number(data_.Time[i] / 1000.0, 'f', 1) + " s";
    for (int s = 0; s < 4; ++s) {
        if (data_.Names[static_cast<std::size_t>(s)].empty()) continue;
        const float v = data_.Values[static_cast<std::size_t>(s)][i], h = data_.Highs[static_cast<std::size_t>(s)][i];
        text += "\n" + Latin1(data_.Names[static_cast<std::size_t>(s)]) + ": " +
                (std::isnan(v) ? QString("-") : Latin1(NumberToText(v)));
        if (!std::isnan(h) && h != v) text += " to " + Latin1(NumberToText(h));
    }
    QToolTip::showText(e->globalPosition().toPoint(), text, this);
}

void TLxOverview::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || pressX_ < 0) return;
    const int x = static_cast<int>(e->position().x());
    if (dragX_ >= 0) SetRange(TimeAt(std::min(pressX_, x)), TimeAt(std::max(pressX_, x)));
    else emit SeekTo(TimeAt(x));
    pressX_ = dragX_ = -1;
    update();
}

// ---------------------------------------------------------------- page

TLxLogAnalysis::TLxLogAnalysis(QWidget* parent) : QWidget(parent)
{
    setObjectName("Analysis");
    auto* v = new QVBoxLayout(this);
    auto* words = new QHBoxLayout;
    words->addWidget(new QLabel("Overview:", this));
    for (int i = 0; i < 4; ++i) {
        cbWords[i] = new QComboBox(this);
        cbWords[i]->setObjectName(QString("cbOverview%1").arg(i + 1));
        words->addWidget(cbWords[i], 1);
        connect(cbWords[i], &QComboBox::activated, this, [this] {
            OverviewWordsChanged();
            SaveChoices();
        });
    }
    v->addLayout(words);
    overview_ = new TLxOverview(data_, this);
    connect(overview_, &TLxOverview::SeekTo, this, &TLxLogAnalysis::SeekTo);

    auto* lower = new QWidget(this);
    auto* lv = new QVBoxLayout(lower);
    lv->setContentsMargins(0, 0, 0, 0);
    auto* tables = new QHBoxLayout;
    tables->addWidget(new QLabel("Table:", this));
    cbTable = new QComboBox(this);
    cbTable->setObjectName("cbTable");
    cbTable->setMinimumContentsLength(16);
    tables->addWidget(cbTable);
    tables->addWidget(new QLabel("Name:", this));
    txtName = new QLineEdit(this);
    txtName->setObjectName("txtName");
    txtName->setToolTip("The table's name, shown in the list and kept with the definition");
    tables->addWidget(txtName, 1);
    btnAddTable = new QPushButton("Add", this);
    btnAddTable->setObjectName("btnAddTable");
    btnAddTable->setToolTip("Another cell table, starting as a copy of this one");
    btnRemoveTable = new QPushButton("Remove", this);
    btnRemoveTable->setObjectName("btnRemoveTable");
    btnRemoveTable->setToolTip("Removes this cell table");
    tables->addWidget(btnAddTable);
    tables->addWidget(btnRemoveTable);
    lv->addLayout(tables);
    connect(cbTable, &QComboBox::activated, this, &TLxLogAnalysis::ShowTableAt);
    connect(btnAddTable, &QPushButton::clicked, this, &TLxLogAnalysis::AddTable);
    connect(btnRemoveTable, &QPushButton::clicked, this, &TLxLogAnalysis::RemoveTable);
    connect(txtName, &QLineEdit::textEdited, this, [this] {
        sheets_[static_cast<std::size_t>(shown_)].Choices.Name = Latin1Of(txtName->text());
        cbTable->setItemText(shown_, Latin1(CellTableName(sheets_[static_cast<std::size_t>(shown_)].Choices, shown_)));
        SaveChoices();
    });
    auto* g = new QGridLayout;
    auto combo = [&](QComboBox*& c, const char* name) {
        c = new QComboBox(this);
        c->setObjectName(name);
        return c;
    };
    auto edit = [&](QLineEdit*& e, const char* name, const char* tip) {
        e = new QLineEdit(this);
        e->setObjectName(name);
        e->setToolTip(tip);
        return e;
    };
    g->addWidget(new QLabel("X:", this), 0, 0);
    g->addWidget(combo(cbX, "cbX"), 0, 1);
    g->addWidget(edit(txtXBreaks, "txtXBreaks", "Breakpoints, rising, separated by commas"), 0, 2);
    g->addWidget(new QLabel("Y:", this), 1, 0);
    g->addWidget(combo(cbY, "cbY"), 1, 1);
    g->addWidget(edit(txtYBreaks, "txtYBreaks", "Breakpoints, rising, separated by commas"), 1, 2);
    g->addWidget(new QLabel("Z:", this), 2, 0);
    g->addWidget(combo(cbZ, "cbZ"), 2, 1);
    auto* zrow = new QHBoxLayout;
    combo(cbStat, "cbStat")->addItems({"mean", "count", "min", "max"});
    zrow->addWidget(cbStat);
    zrow->addWidget(new QLabel("Min hits:", this));
    spMinHits = new QSpinBox(this);
    spMinHits->setObjectName("spMinHits");
    spMinHits->setRange(1, 1000000);
    zrow->addWidget(spMinHits);
    zrow->addWidget(new QLabel("Centre:", this));
    edit(txtCentre, "txtCentre", "The colours run from blue below this value to red above it")->setText("128");
    txtCentre->setMaximumWidth(70);
    zrow->addWidget(txtCentre);
    zrow->addStretch();
    g->addLayout(zrow, 2, 2);
    g->addWidget(new QLabel("Where:", this), 3, 0);
    g->addWidget(edit(txtWhere, "txtWhere", "Conditions by word ID or name, e.g. Closed loop = Closed, Coolant >= 80"), 3, 1, 1, 2);
    g->setColumnStretch(2, 1);
    lv->addLayout(g);
    auto* buttons = new QHBoxLayout;
    btnApply = new QPushButton("Apply", this);
    btnBuild = new QPushButton("Whole log", this);
    btnBuild->setToolTip("Build the table from every frame of the log being replayed");
    btnCopy = new QPushButton("Copy", this);
    btnCopy->setToolTip("The table as tab-separated text, for a spreadsheet");
    lblState = new QLabel(this);
    buttons->addWidget(btnApply);
    buttons->addWidget(btnBuild);
    buttons->addWidget(btnCopy);
    buttons->addWidget(lblState, 1);
    lv->addLayout(buttons);
    connect(btnApply, &QPushButton::clicked, this, [this] {
        if (Apply()) SaveChoices();
    });
    connect(btnBuild, &QPushButton::clicked, this, [this] {
        if (Apply()) {
            SaveChoices();
            BuildFromLog();
        }
    });
    connect(btnCopy, &QPushButton::clicked, this, &TLxLogAnalysis::Copy);
    auto axisDefault = [this](QComboBox* c, QLineEdit* e) {
        const int w = WordOf(c);
        if (aldl_ && w >= 0) e->setText(Latin1(BreakpointsText(DefaultAxis(*aldl_, w))));
    };
    connect(cbX, &QComboBox::activated, this, [this, axisDefault] { axisDefault(cbX, txtXBreaks); });
    connect(cbY, &QComboBox::activated, this, [this, axisDefault] { axisDefault(cbY, txtYBreaks); });

    table_ = new QTableWidget(this);
    table_->setObjectName("sgCells");
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setDefaultSectionSize(56);
    table_->verticalHeader()->setDefaultSectionSize(20);
    table_->setItemDelegate(new OutlineDelegate(current_, gColumns, table_));
    lv->addWidget(table_, 1);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(overview_);
    split->addWidget(lower);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);
    v->addWidget(split, 1);

    scanTimer_ = new QTimer(this);
    scanTimer_->setInterval(0);
    connect(scanTimer_, &QTimer::timeout, this, &TLxLogAnalysis::ScanSlice);
    auto* refresh = new QTimer(this);
    refresh->setObjectName("analysisRefresh");
    refresh->setInterval(100);
    connect(refresh, &QTimer::timeout, this, [this] {
        if (isVisible()) ShowTable();
    });
    refresh->start();
}

TLxLogAnalysis::~TLxLogAnalysis() { delete scan_; }

int TLxLogAnalysis::WordOf(const QComboBox* c) const
{
    const QVariant d = c->currentData();
    return d.isValid() ? d.toInt() : -1;
}

bool TLxLogAnalysis::Scanning() const { return scanTimer_->isActive(); }

void TLxLogAnalysis::SetDefinition(const TAldl& aldl, TLxPersist& store)
{
    aldl_ = &aldl;
    store_ = &store;
    loading_ = true;
    touched_ = false;
    auto fill = [&](QComboBox* c, bool none) {
        c->clear();
        if (none) c->addItem("(none)");
        for (int i = 0; i < aldl.Count(); ++i) c->addItem(Latin1(aldl.Items(i).Name + " (" + aldl.Items(i).ID + ")"), i);
    };
    for (auto* c : cbWords) fill(c, true);
    fill(cbX, false);
    fill(cbY, false);
    fill(cbZ, false);
    const TAnalysisChoices saved = ReadAnalysisChoices(store);
    const std::vector<std::string>& ids = saved.Overview;
    for (int i = 0; i < 4; ++i) {
        const int w = static_cast<std::size_t>(i) < ids.size() ? FindWordId(aldl, ids[static_cast<std::size_t>(i)]) : -1;
        if (const int k = w < 0 ? -1 : cbWords[i]->findData(w); k >= 0) cbWords[i]->setCurrentIndex(k);
    }
    sheets_.assign(std::max<std::size_t>(1, saved.Tables.size()), TSheet{});
    for (std::size_t i = 0; i < saved.Tables.size(); ++i) sheets_[i].Choices = saved.Tables[i];
    // Each table through the widgets, which fill in what is missing; saved
    // choices that no longer fit the words leave that table empty until Apply.
    for (int i = static_cast<int>(sheets_.size()) - 1; i >= 0; --i) {
        LoadSheet(i);
        KeepSheet();
        TSheet& sh = sheets_[static_cast<std::size_t>(i)];
        TCellSetup setup;
        std::string error;
        if (SetupOf(sh.Choices, setup, error)) sh.Cells.Reset(aldl, setup);
        else sh.Cells = TCellTable();
    }
    if (ids.empty()) // first time: the table's own words
        for (int i = 0; i < 3; ++i) cbWords[i]->setCurrentIndex(cbWords[i]->findData(WordOf(i == 0 ? cbX : i == 1 ? cbY : cbZ)));
    ListTables();
    OverviewWordsChanged();
    loading_ = false;
    ShowTable();
}

void TLxLogAnalysis::LoadSheet(int index)
{
    shown_ = index;
    const TSheet& sh = sheets_[static_cast<std::size_t>(index)];
    const TCellChoices& c = sh.Choices;
    current_ = sh.Current;
    const bool was = loading_;
    loading_ = true;
    txtName->setText(Latin1(c.Name));
    if (aldl_) {
        auto select = [&](QComboBox* cb, const std::string& id) {
            const int w = FindWordId(*aldl_, id);
            const int i = w < 0 ? -1 : cb->findData(w);
            if (i >= 0) cb->setCurrentIndex(i);
            return i >= 0;
        };
        // Without saved choices: block learn over engine speed and MAP when there are such words.
        auto pick = [&](QComboBox* cb, const std::string& id, const char* fallback, QLineEdit* breaks, const std::string& text) {
            if (!select(cb, id.empty() ? fallback : id) && cb->count() > 0) cb->setCurrentIndex(0);
            if (!breaks) return;
            if (!text.empty()) breaks->setText(Latin1(text));
            else if (WordOf(cb) >= 0) breaks->setText(Latin1(BreakpointsText(DefaultAxis(*aldl_, WordOf(cb)))));
            else breaks->clear();
        };
        pick(cbX, c.X, "RPM", txtXBreaks, c.XBreaks);
        pick(cbY, c.Y, "MAP", txtYBreaks, c.YBreaks);
        pick(cbZ, c.Z, "BLM", nullptr, "");
    }
    CellStat stat = CellStat::Mean;
    ParseCellStat(c.Stat, stat);
    cbStat->setCurrentIndex(static_cast<int>(stat));
    spMinHits->setValue(std::max(1, StrToIntDef(c.MinHits, 1)));
    txtCentre->setText(Latin1(c.Centre));
    txtWhere->setText(Latin1(c.Where));
    loading_ = was;
}

void TLxLogAnalysis::KeepSheet()
{
    if (!aldl_) return;
    TCellChoices& c = sheets_[static_cast<std::size_t>(shown_)].Choices;
    auto id = [&](QComboBox* w) { return WordOf(w) >= 0 ? aldl_->Items(WordOf(w)).ID : std::string(); };
    c.Name = Latin1Of(txtName->text());
    c.X = id(cbX);
    c.XBreaks = Latin1Of(txtXBreaks->text());
    c.Y = id(cbY);
    c.YBreaks = Latin1Of(txtYBreaks->text());
    c.Z = id(cbZ);
    c.Stat = CellStatName(static_cast<CellStat>(cbStat->currentIndex()));
    c.MinHits = std::to_string(spMinHits->value());
    c.Centre = Latin1Of(txtCentre->text());
    // The signs the keyboard may not have, as typed in a spreadsheet.
    QString where = txtWhere->text();
    where.replace(QString::fromUtf8("\u2265"), ">=").replace(QString::fromUtf8("\u2264"), "<=").replace(QString::fromUtf8("\u2260"), "!=");
    c.Where = Latin1Of(where);
}

bool TLxLogAnalysis::SetupOf(const TCellChoices& c, TCellSetup& setup, std::string& error) const
{
    if (!aldl_ || FindWordId(*aldl_, c.X) < 0 || FindWordId(*aldl_, c.Y) < 0 || FindWordId(*aldl_, c.Z) < 0) {
        error = "Choose X, Y and Z";
        return false;
    }
    if (!ParseCellAxes("X=" + c.X + ":" + c.XBreaks + ";Y=" + c.Y + ":" + c.YBreaks + ";Z=" + c.Z, *aldl_, setup, error) ||
        !ParseCellConditions(c.Where, *aldl_, setup.Where, error))
        return false;
    ParseCellStat(c.Stat, setup.Stat);
    setup.MinHits = std::max(1, StrToIntDef(c.MinHits, 1));
    return true;
}

void TLxLogAnalysis::ListTables()
{
    cbTable->clear();
    for (std::size_t i = 0; i < sheets_.size(); ++i)
        cbTable->addItem(Latin1(CellTableName(sheets_[i].Choices, static_cast<int>(i))));
    cbTable->setCurrentIndex(shown_);
    btnRemoveTable->setEnabled(sheets_.size() > 1);
    btnAddTable->setEnabled(sheets_.size() < static_cast<std::size_t>(MaxCellTables));
}

void TLxLogAnalysis::ShowTableAt(int index)
{
    if (index < 0 || index >= TableCount()) return;
    if (index != shown_) {
        KeepSheet();
        LoadSheet(index);
    }
    cbTable->setCurrentIndex(shown_); // the list itself stays: this may run inside its own signal
    ShowTable();
}

bool TLxLogAnalysis::AddTable()
{
    if (TableCount() >= MaxCellTables) return false;
    KeepSheet();
    TSheet sh;
    sh.Choices = sheets_[static_cast<std::size_t>(shown_)].Choices;
    sh.Choices.Name.clear();
    TCellSetup setup;
    std::string error;
    if (SetupOf(sh.Choices, setup, error)) sh.Cells.Reset(*aldl_, setup);
    sheets_.push_back(std::move(sh));
    LoadSheet(TableCount() - 1);
    ListTables();
    ShowTable();
    SaveChoices();
    return true;
}

void TLxLogAnalysis::RemoveTable()
{
    if (TableCount() < 2) return;
    sheets_.erase(sheets_.begin() + shown_);
    LoadSheet(std::min(shown_, TableCount() - 1));
    ListTables();
    ShowTable();
    SaveChoices();
}

void TLxLogAnalysis::OverviewWordsChanged()
{
    for (int i = 0; i < 4; ++i) {
        const int w = WordOf(cbWords[i]);
        data_.Names[static_cast<std::size_t>(i)] = w >= 0 && aldl_ ? aldl_->Items(w).Name : std::string();
        data_.Lo[static_cast<std::size_t>(i)] = w >= 0 && aldl_ ? static_cast<double>(aldl_->Items(w).Dmin) : 0;
        data_.Hi[static_cast<std::size_t>(i)] = w >= 0 && aldl_ ? static_cast<double>(aldl_->Items(w).Dmax) : 1;
    }
    // Other words: the log is read again for them.
    if (!logName_.empty()) StartRun(logName_);
    else data_.Clear();
    overview_->update();
}

void TLxLogAnalysis::SaveChoices()
{
    if (!loading_) touched_ = true;
}

void TLxLogAnalysis::StoreChoices()
{
    if (!store_ || !aldl_ || (!touched_ && !HasAnalysisChoices(*store_))) return;
    KeepSheet();
    TAnalysisChoices c;
    for (auto* w : cbWords) c.Overview.push_back(WordOf(w) >= 0 ? aldl_->Items(WordOf(w)).ID : std::string("-"));
    for (const TSheet& sh : sheets_) c.Tables.push_back(sh.Choices);
    WriteAnalysisChoices(*store_, c);
}

bool TLxLogAnalysis::Apply()
{
    if (!aldl_ || WordOf(cbX) < 0 || WordOf(cbY) < 0 || WordOf(cbZ) < 0) return false;
    KeepSheet();
    TSheet& sh = sheets_[static_cast<std::size_t>(shown_)];
    TCellSetup setup;
    std::string error;
    if (!SetupOf(sh.Choices, setup, error)) {
        Dialogs().Message(error, "Log Analysis", MsgButtons::Ok, MsgKind::Error);
        return false;
    }
    sh.Cells.Reset(*aldl_, setup);
    sh.Current = current_ = -1;
    sh.Whole = false;
    ShowTable();
    return true;
}

std::array<float, 4> TLxLogAnalysis::OverviewValues(const TFrameResult& r, int count) const
{
    std::array<float, 4> out;
    for (int i = 0; i < 4; ++i) {
        const int w = WordOf(cbWords[i]);
        const bool has = w >= 0 && static_cast<std::size_t>(w) < r.Words.size() &&
                         r.Words[static_cast<std::size_t>(w)].Read && aldl_->Items(w).StartByte <= count &&
                         std::isfinite(r.Words[static_cast<std::size_t>(w)].Value);
        out[static_cast<std::size_t>(i)] =
            has ? static_cast<float>(r.Words[static_cast<std::size_t>(w)].Value) : std::numeric_limits<float>::quiet_NaN();
    }
    return out;
}

void TLxLogAnalysis::StartRun(const std::string& logName)
{
    if (logName != logName_)
        for (TSheet& sh : sheets_) sh.Whole = false;
    logName_ = logName;
    data_.Clear();
    delete scan_;
    scan_ = nullptr;
    scanTimer_->stop();
    for (TSheet& sh : sheets_) sh.Current = -1;
    current_ = -1;
    if (!logName.empty()) {
        scan_ = new TLogReader;
        if (scan_->Open(logName)) {
            scanTime_ = scanLines_ = 0;
            scanTimer_->start();
        }
    }
    overview_->ResetZoom();
}

void TLxLogAnalysis::ScanSlice()
{
    if (!scan_ || !aldl_) {
        scanTimer_->stop();
        return;
    }
    FrameBuffer f{};
    int count = 0;
    std::int32_t stamp = 0;
    const std::int64_t until = StampClockMs() + 8;
    try {
        // The same log time as the replay's position bar.
        while (StampClockMs() < until) {
            for (int k = 0; k < 256; ++k) {
                f.fill(0);
                if (!scan_->ReadLogLine(f, count, stamp)) {
                    scanTimer_->stop();
                    overview_->update();
                    return;
                }
                const std::int64_t rise = static_cast<std::int64_t>(stamp) - scanStamp_;
                scanTime_ = scanLines_++ == 0 ? 0 : scanTime_ + (rise > 0 ? rise : 0);
                scanStamp_ = stamp;
                if (count <= 0) continue;
                DecodeWords(*aldl_, f, result_, false);
                data_.Add(scanTime_, OverviewValues(result_, count));
            }
        }
    } catch (const std::exception&) {
        scanTimer_->stop(); // the replay itself reports a file it cannot read
    }
    overview_->update();
}

void TLxLogAnalysis::Frame(const FrameBuffer& frame, int count, std::int64_t ms)
{
    if (!aldl_ || count <= 0) return;
    DecodeWords(*aldl_, frame, result_, false);
    for (TSheet& sh : sheets_) {
        if (!sh.Cells.Ready()) continue;
        if (!sh.Whole) sh.Cells.Add(result_, count);
        sh.Current = sh.Cells.CellOf(result_, count);
    }
    current_ = sheets_[static_cast<std::size_t>(shown_)].Current;
    if (logName_.empty()) {
        data_.Add(ms, OverviewValues(result_, count));
        if (isVisible()) overview_->update();
    }
    overview_->SetCursorTime(ms);
}

bool TLxLogAnalysis::BuildFromLog()
{
    if (!aldl_ || !Cells().Ready() || logName_.empty()) return false;
    TLogReader r;
    if (!r.Open(logName_)) return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (TSheet& sh : sheets_)
        if (sh.Cells.Ready()) sh.Cells.Clear();
    FrameBuffer f{};
    int count = 0;
    std::int32_t stamp = 0;
    bool ok = true;
    try {
        for (;;) {
            f.fill(0);
            if (!r.ReadLogLine(f, count, stamp)) break;
            if (count <= 0) continue;
            DecodeWords(*aldl_, f, result_, false);
            for (TSheet& sh : sheets_)
                if (sh.Cells.Ready()) sh.Cells.Add(result_, count);
        }
    } catch (const std::exception& e) {
        ok = false;
        Dialogs().Message(e.what(), "Log Analysis", MsgButtons::Ok, MsgKind::Error);
    }
    QApplication::restoreOverrideCursor();
    for (TSheet& sh : sheets_) sh.Whole = ok && sh.Cells.Ready();
    ShowTable();
    return ok;
}

void TLxLogAnalysis::Copy()
{
    if (Cells().Ready()) QApplication::clipboard()->setText(Latin1(Cells().TabText()));
}

void TLxLogAnalysis::ShowTable()
{
    const TCellTable& cells = Cells();
    const int cols = cells.Ready() ? cells.Columns() : 0, rows = cells.Ready() ? cells.Rows() : 0;
    gColumns = cols;
    if (table_->columnCount() != cols || table_->rowCount() != rows) {
        table_->setColumnCount(cols);
        table_->setRowCount(rows);
    }
    if (!cells.Ready()) {
        lblState->setText("Choose X, Y and Z, then Apply");
        return;
    }
    const TCellSetup& s = cells.Setup();
    QStringList h, vh;
    for (const auto& t : s.X.Texts) h << Latin1(t);
    for (const auto& t : s.Y.Texts) vh << Latin1(t);
    table_->setHorizontalHeaderLabels(h);
    table_->setVerticalHeaderLabels(vh);
    const double centre = static_cast<double>(FloatFromText(Latin1Of(txtCentre->text()), 128.0L));
    double span = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            long double v = 0;
            if (cells.Value(x, y, v)) span = std::max(span, std::abs(static_cast<double>(v) - centre));
        }
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            QTableWidgetItem* it = table_->item(y, x);
            if (!it) {
                it = new QTableWidgetItem;
                it->setTextAlignment(Qt::AlignCenter);
                table_->setItem(y, x, it);
            }
            long double v = 0;
            if (!cells.Value(x, y, v)) {
                it->setText("");
                it->setBackground(QBrush());
                it->setToolTip(QString("%1 frames").arg(cells.Stats(x, y).Hits));
                continue;
            }
            std::string text;
            AppendNumberText(text, v);
            it->setText(Latin1(text));
            // White at the centre, deeper red above it and blue below.
            const double d = span > 0 ? std::clamp((static_cast<double>(v) - centre) / span, -1.0, 1.0) : 0.0;
            const int fade = static_cast<int>(255 - 150 * std::abs(d));
            it->setBackground(d >= 0 ? QColor(255, fade, fade) : QColor(fade, fade, 255));
            it->setToolTip(QString("%1 frames").arg(cells.Stats(x, y).Hits));
        }
    lblState->setText(QString("%1 frames in the table%2%3")
                          .arg(cells.Counted())
                          .arg(sheets_[static_cast<std::size_t>(shown_)].Whole ? QString(" (the whole log)") : QString())
                          .arg(Scanning() ? QString(", reading the log for the overview") : QString()));
    table_->viewport()->update();
}
