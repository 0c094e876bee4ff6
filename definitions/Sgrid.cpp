#include "Sgrid.h"

#include "decode/Errors.h"
#include "decode/Hex.h"
#include "definitions/Definition.h"
#include "definitions/Dialogs.h"
#include "definitions/QtText.h"

#include <QAbstractButton>
#include <QAbstractTableModel>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

const char* const kColumnNames =
    "Name,ID,Start,Bits,Amin,Amax,Display,Chart,Series,Dmin,Dmax,Formula,Units,Factor,Offset,Flags,Avg";
const char* const kNoInfo = "-,-,-,-,-,-,-,-,-,-,-,-,-";
const char* const kAldl = "[ALDL]";
const char* const kStream = "[STREAM]";
// Keys left from a longer definition are cleared up to this word.
constexpr int kLastClearedWord = 128;

std::string WordKey(int n) { return "W" + std::to_string(n); }

} // namespace

// Grid row r is model row r - 1 and grid column c model column c - 1: the
// header row and the Name column live in the two header views.
class TLxSgridModel : public QAbstractTableModel {
public:
    explicit TLxSgridModel(QObject* parent) : QAbstractTableModel(parent) {}

    std::vector<std::vector<std::string>> cells; // [row][col], row 0 the header
    int cols = 0;
    std::function<void()> cornerChanged;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(cells.size()) - 1;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : cols - 1;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        return Latin1(At(index.column() + 1, index.row() + 1));
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (role != Qt::DisplayRole) return {};
        return o == Qt::Horizontal ? Latin1(At(section + 1, 0)) : Latin1(At(0, section + 1));
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    const std::string& At(int col, int row) const
    {
        static const std::string none;
        if (row < 0 || col < 0 || row >= static_cast<int>(cells.size()) || col >= cols) return none;
        return cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    }

    void Set(int col, int row, const std::string& text)
    {
        if (row < 0 || col < 0 || row >= static_cast<int>(cells.size()) || col >= cols) return;
        std::string& cell = cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
        if (cell == text) return;
        cell = text;
        Touch(col, row);
    }

    void Resize(int rows, int columns)
    {
        rows = std::max(rows, 1);
        columns = std::max(columns, 1);
        int oldRows = static_cast<int>(cells.size());
        if (rows > oldRows) {
            beginInsertRows(QModelIndex(), oldRows - 1, rows - 2);
            cells.resize(static_cast<std::size_t>(rows), std::vector<std::string>(static_cast<std::size_t>(cols)));
            endInsertRows();
        } else if (rows < oldRows) {
            beginRemoveRows(QModelIndex(), rows - 1, oldRows - 2);
            cells.resize(static_cast<std::size_t>(rows));
            endRemoveRows();
        }
        if (columns > cols) {
            beginInsertColumns(QModelIndex(), cols - 1, columns - 2);
            for (auto& r : cells) r.resize(static_cast<std::size_t>(columns));
            cols = columns;
            endInsertColumns();
        } else if (columns < cols) {
            beginRemoveColumns(QModelIndex(), columns - 1, cols - 2);
            for (auto& r : cells) r.resize(static_cast<std::size_t>(columns));
            cols = columns;
            endRemoveColumns();
        }
    }

    // Row `from` ends up at index `to`; both are body rows.
    void Move(int from, int to)
    {
        int s = from - 1, t = to - 1;
        beginMoveRows(QModelIndex(), s, s, QModelIndex(), t > s ? t + 1 : t);
        auto b = cells.begin();
        if (from < to)
            std::rotate(b + from, b + from + 1, b + to + 1);
        else
            std::rotate(b + to, b + from, b + from + 1);
        endMoveRows();
        emit headerDataChanged(Qt::Vertical, std::min(s, t), std::max(s, t));
    }

private:
    // Frame decoding writes many cells per second: the views hear of them
    // as one range per area, at most once per screen frame, so a fast
    // replay is not held up by repainting tables nobody can read that fast.
    void Touch(int col, int row)
    {
        if (row == 0 && col == 0) corner_ = true;
        else if (row == 0) Grow(hcol_, col);
        else if (col == 0) Grow(vrow_, row);
        else {
            Grow(brow_, row);
            Grow(bcol_, col);
        }
        if (pending_) return;
        pending_ = true;
        if (!flushTimer_) {
            flushTimer_ = new QTimer(this);
            flushTimer_->setSingleShot(true);
            connect(flushTimer_, &QTimer::timeout, this, [this] { Flush(); });
        }
        flushTimer_->start(15);
    }

    struct Span {
        int lo = -1, hi = -1;
    };
    static void Grow(Span& s, int v)
    {
        if (s.lo < 0 || v < s.lo) s.lo = v;
        if (v > s.hi) s.hi = v;
    }
    static bool Clamp(Span& s, int last)
    {
        if (s.lo < 0) return false;
        s.hi = std::min(s.hi, last);
        return s.lo <= s.hi;
    }

    void Flush()
    {
        pending_ = false;
        Span br = brow_, bc = bcol_, hc = hcol_, vr = vrow_;
        bool corner = corner_;
        brow_ = bcol_ = hcol_ = vrow_ = Span{};
        corner_ = false;
        int lastRow = static_cast<int>(cells.size()) - 1, lastCol = cols - 1;
        if (Clamp(br, lastRow) && Clamp(bc, lastCol))
            emit dataChanged(index(br.lo - 1, bc.lo - 1), index(br.hi - 1, bc.hi - 1), {Qt::DisplayRole});
        if (Clamp(hc, lastCol)) emit headerDataChanged(Qt::Horizontal, hc.lo - 1, hc.hi - 1);
        if (Clamp(vr, lastRow)) emit headerDataChanged(Qt::Vertical, vr.lo - 1, vr.hi - 1);
        if (corner && cornerChanged) cornerChanged();
    }

    Span brow_, bcol_, hcol_, vrow_;
    bool corner_ = false;
    bool pending_ = false;
    QTimer* flushTimer_ = nullptr;
};

TLxSgrid::TLxSgrid(QWidget* parent) : QTableView(parent), model_(new TLxSgridModel(this))
{
    model_->cols = 17;
    model_->cells.assign(2, std::vector<std::string>(17));
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setCornerButtonEnabled(false);

    QHeaderView* h = horizontalHeader();
    h->setMinimumSectionSize(1);
    h->setDefaultSectionSize(26);
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setSectionsClickable(false);
    h->setHighlightSections(false);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    QHeaderView* v = verticalHeader();
    v->setMinimumSectionSize(1);
    v->setSectionResizeMode(QHeaderView::Fixed);
    v->setDefaultSectionSize(18);
    v->setSectionsClickable(false);
    v->setHighlightSections(false);
    v->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    v->setFixedWidth(nameWidth_);
    v->viewport()->installEventFilter(this);
    v->viewport()->setCursor(Qt::SizeVerCursor);
    // Hover moves show where the Name column's edge can be dragged.
    v->viewport()->setMouseTracking(true);

    corner_ = findChild<QAbstractButton*>();
    if (corner_) corner_->installEventFilter(this);
    model_->cornerChanged = [this] {
        if (corner_) corner_->update();
    };

    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& ix) { emit CellDoubleClicked(ix.column() + 1, ix.row() + 1); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& cur) {
        if (cur.isValid()) row_ = cur.row() + 1;
    });

    HeaderNames = SplitList(kColumnNames);
    SetRowText(0, JoinCommaText(HeaderNames));
    NewDefinition();
}

TLxSgrid::~TLxSgrid() = default;

int TLxSgrid::RowCount() const { return static_cast<int>(model_->cells.size()); }

void TLxSgrid::SetRowCount(int count) { model_->Resize(count, model_->cols); }

int TLxSgrid::ColCount() const { return model_->cols; }

void TLxSgrid::SetColCount(int count) { model_->Resize(RowCount(), count); }

std::string TLxSgrid::Cells(int col, int row) const { return model_->At(col, row); }

void TLxSgrid::SetCells(int col, int row, const std::string& text) { model_->Set(col, row, text); }

int TLxSgrid::Row() const
{
    QModelIndex ci = currentIndex();
    int r = ci.isValid() ? ci.row() + 1 : row_;
    return std::clamp(r, 1, std::max(1, RowCount() - 1));
}

void TLxSgrid::SetRow(int row)
{
    if (row < 1 || row >= RowCount()) return;
    row_ = row;
    if (model_->columnCount() > 0) {
        int col = std::max(0, currentIndex().column());
        selectionModel()->setCurrentIndex(model_->index(row - 1, col),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

int TLxSgrid::ColWidth(int col) const
{
    if (col == 0) return nameWidth_;
    if (col < 0 || col >= ColCount()) return 0;
    return columnWidth(col - 1);
}

void TLxSgrid::SetColWidth(int col, int width)
{
    width = std::max(width, 0);
    if (col == 0) {
        nameWidth_ = width;
        verticalHeader()->setFixedWidth(width);
    } else if (col > 0 && col < ColCount()) {
        setColumnWidth(col - 1, width);
    }
}

void TLxSgrid::SetDefaultColWidth(int width)
{
    width = std::max(width, 0);
    horizontalHeader()->setDefaultSectionSize(width);
    for (int c = 0; c < ColCount(); ++c) SetColWidth(c, width);
}

void TLxSgrid::SetDefaultRowHeight(int height) { verticalHeader()->setDefaultSectionSize(std::max(height, 1)); }

std::string TLxSgrid::GetRowText(int row) const
{
    std::vector<std::string> fields;
    fields.reserve(static_cast<std::size_t>(ColCount()));
    for (int c = 0; c < ColCount(); ++c) fields.push_back(EmptyToDash(Cells(c, row)));
    return JoinCommaText(fields);
}

void TLxSgrid::SetRowText(int row, const std::string& text)
{
    std::vector<std::string> fields = SplitList(text);
    int n = std::min(static_cast<int>(fields.size()), ColCount());
    for (int i = 0; i < n; ++i) SetCells(i, row, DashToEmpty(fields[static_cast<std::size_t>(i)]));
}

std::string TLxSgrid::GetColWidthsText() const
{
    std::vector<std::string> widths;
    for (int c = 0; c < ColCount(); ++c) widths.push_back(std::to_string(ColWidth(c)));
    return JoinCommaText(widths);
}

void TLxSgrid::SetColWidthsText(const std::string& text)
{
    std::vector<std::string> fields = SplitList(text);
    int n = std::min(static_cast<int>(fields.size()), ColCount());
    for (int i = 0; i < n; ++i) SetColWidth(i, StrToIntDef(fields[static_cast<std::size_t>(i)], 32));
}

void TLxSgrid::SetInfo(const std::string& info) { info_ = info; }

const std::string& TLxSgrid::Info() const { return info_; }

std::string TLxSgrid::FileName() const { return store_.FileName; }

bool TLxSgrid::Modified() const { return store_.Modified; }

TLxPersist& TLxSgrid::Store() { return store_; }

void TLxSgrid::EmptyRow(int row)
{
    for (int c = 0; c < ColCount(); ++c) SetCells(c, row, std::string());
}

void TLxSgrid::NewDefinition()
{
    store_.SetFileName("");
    HeaderNames = SplitList(kColumnNames);
    info_ = kNoInfo;
    SetRowCount(2);
    EmptyRow(1);
    StoreDefinition();
    store_.SetModified(false);
}

bool TLxSgrid::LoadDefinition(const std::string& name)
{
    TLxPersist before = store_;
    // a file over the limits was refused with its message: nothing changes
    if (!store_.LoadFile(name)) return store_.LoadError.empty();
    // A refused file never becomes the document, so a later save can't write into it.
    auto refuse = [&](const std::string& message) {
        store_ = std::move(before);
        Dialogs().Message(message, "Diduvuve", MsgButtons::Ok, MsgKind::Error);
        return false;
    };
    TDefinition def;
    std::string error;
    if (!ReadDefinition(store_, def, error)) return refuse(error);

    auto setFields = [&](int row, const std::vector<std::string>& fields) {
        const int n = std::min(static_cast<int>(fields.size()), ColCount());
        for (int i = 0; i < n; ++i) SetCells(i, row, fields[static_cast<std::size_t>(i)]);
    };
    setFields(0, def.Header);
    info_ = def.Info;
    const int words = static_cast<int>(def.Words.size());
    SetRowCount(words + 2);
    for (int k = 1; k <= words; ++k) {
        // Cells the row text leaves out must not keep another document's data.
        EmptyRow(k);
        setFields(k, def.Words[static_cast<std::size_t>(k - 1)]);
    }
    EmptyRow(words + 1);
    return true;
}

void TLxSgrid::StoreDefinition()
{
    const int rows = RowCount();
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(std::max(rows - 1, 1)));
    for (int r = 0; r <= rows - 2; ++r) texts.push_back(GetRowText(r));
    // Check everything before the store changes, so a refusal leaves it whole.
    for (const auto& t : texts)
        if (t.find('\n') != std::string::npos) throw ERangeError("A cell holds a line break and can't be stored");
    if (info_.find('\n') != std::string::npos) throw ERangeError("The header information holds a line break");
    // Never a file the program would refuse to open again.
    auto tooLong = [](const std::string& what, std::size_t length) {
        throw ERangeError(what + " is too long to be stored: its line would have " + std::to_string(length) +
                          " characters, the limit is " + std::to_string(TLxPersist::MaxLineLength - 1) + ".");
    };
    if (texts[0].size() + 7 >= TLxPersist::MaxLineLength) tooLong("The header", texts[0].size() + 7);
    if (info_.size() + 5 >= TLxPersist::MaxLineLength) tooLong("The header information", info_.size() + 5);
    std::size_t total = 0;
    for (int n = 1; n <= rows - 2; ++n) {
        const std::string& t = texts[static_cast<std::size_t>(n)];
        const std::size_t length = WordKey(n).size() + 1 + t.size();
        if (length >= TLxPersist::MaxLineLength)
            tooLong("Word " + std::to_string(n) + " (" + Cells(0, n) + ")", length);
        total += length + 2;
    }
    if (total + texts[0].size() + info_.size() >= TLxPersist::MaxFileSize)
        throw ERangeError("The definition is too large to be stored: the limit is " +
                          std::to_string(TLxPersist::MaxFileSize >> 20) + " MiB.");

    // When the named file has gone, the grid still goes into the lines held
    // and counts as changed, so the next save writes it rather than nothing.
    bool reread = store_.ReloadFile();

    store_.WriteString(kAldl, "Words", std::to_string(rows - 2));
    store_.WriteString(kAldl, "Header", texts[0]);
    store_.WriteString(kAldl, "Info", info_);
    store_.WriteString(kAldl, "Version", "1");
    for (int n = rows - 2; n >= 1; --n) store_.WriteString(kStream, WordKey(n), texts[static_cast<std::size_t>(n)]);
    for (int n = rows - 1; n <= kLastClearedWord; ++n) store_.DeleteKey(kStream, WordKey(n));
    if (AfterStore) AfterStore(store_);
    if (!reread) store_.SetModified(true);
}

// A definition that could not be written must never look saved: the store
// is quiet about a file it can't create, so the reason is shown here.
static void ReportCreateError(const TLxPersist& store)
{
    if (store.CreateError == 0) return;
    Dialogs().Message("Can't save file " + store.CreateErrorName + ": " + std::strerror(store.CreateError),
                      "Diduvuve", MsgButtons::Ok, MsgKind::Error);
}

bool TLxSgrid::SaveDefinition()
{
    store_.CreateError = 0;
    const bool ok = store_.SaveIfModified();
    if (!ok) ReportCreateError(store_);
    return ok;
}

void TLxSgrid::SaveDefinitionAs()
{
    store_.SetFileName("");
    store_.SetModified(true);
    store_.CreateError = 0;
    if (!store_.SaveFile("")) ReportCreateError(store_);
}

void TLxSgrid::RemoveRow(int row)
{
    if (row < 1 || row >= RowCount()) return;
    if (row == RowCount() - 1) {
        EmptyRow(row);
        return;
    }
    int current = Row();
    int last = RowCount() - 1;
    model_->Move(row, last);
    emit RowMoved(row, last);
    SetRowCount(last);
    if (current < RowCount()) SetRow(current);
}

void TLxSgrid::MoveGridRow(int from, int to)
{
    if (from == to || from < 1 || to < 1 || from >= RowCount() || to >= RowCount()) return;
    model_->Move(from, to);
    SetRow(to);
    emit RowMoved(from, to);
}

bool TLxSgrid::eventFilter(QObject* watched, QEvent* event)
{
    if (corner_ && watched == corner_ && event->type() == QEvent::Paint) {
        PaintCorner(corner_);
        return true;
    }
    if (watched == verticalHeader()->viewport() && NameCellEvent(event)) return true;
    return QTableView::eventFilter(watched, event);
}

// Rows are dragged by their Name cell; the data really moves on release.
bool TLxSgrid::NameCellEvent(QEvent* event)
{
    auto t = event->type();
    if (t != QEvent::MouseButtonPress && t != QEvent::MouseButtonRelease && t != QEvent::MouseMove &&
        t != QEvent::MouseButtonDblClick)
        return false;
    auto* me = static_cast<QMouseEvent*>(event);
    QHeaderView* v = verticalHeader();
    int y = static_cast<int>(me->position().y());
    int x = static_cast<int>(me->position().x());
    int section = v->logicalIndexAt(y);
    // The Name column is sized by dragging its right edge, like the others.
    const bool atEdge = x >= v->viewport()->width() - 4;
    if (sizingName_) {
        if (t == QEvent::MouseMove) SetColWidth(0, std::max(x, 8));
        if (t == QEvent::MouseButtonRelease && me->button() == Qt::LeftButton) sizingName_ = false;
        return true;
    }
    if (t == QEvent::MouseButtonPress && me->button() == Qt::LeftButton && atEdge) {
        sizingName_ = true;
        return true;
    }
    if (t == QEvent::MouseMove && dragFrom_ < 0)
        v->viewport()->setCursor(atEdge ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    switch (t) {
    case QEvent::MouseButtonPress:
        if (me->button() != Qt::LeftButton) return false;
        setFocus(Qt::MouseFocusReason);
        if (section < 0) return true;
        dragFrom_ = section + 1;
        SetRow(dragFrom_);
        return true;
    case QEvent::MouseMove:
        return dragFrom_ > 0;
    case QEvent::MouseButtonRelease: {
        if (me->button() != Qt::LeftButton || dragFrom_ < 0) return false;
        int from = dragFrom_;
        dragFrom_ = -1;
        if (section < 0) section = y < 0 ? 0 : model_->rowCount() - 1;
        int to = section + 1;
        if (to != from) MoveGridRow(from, to);
        return true;
    }
    case QEvent::MouseButtonDblClick:
        dragFrom_ = -1;
        // on the sizing edge a double click only sizes
        if (section >= 0 && !atEdge) emit CellDoubleClicked(0, section + 1);
        return true;
    default:
        return false;
    }
}

void TLxSgrid::PaintCorner(QWidget* corner)
{
    QStylePainter painter(corner);
    QStyleOptionHeader opt;
    opt.initFrom(corner);
    opt.rect = corner->rect();
    // The button is disabled only so a click selects nothing; it looks like a header.
    opt.state |= QStyle::State_Enabled;
    opt.palette.setCurrentColorGroup(QPalette::Active);
    opt.position = QStyleOptionHeader::OnlyOneSection;
    opt.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    opt.text = Latin1(Cells(0, 0));
    painter.drawControl(QStyle::CE_Header, opt);
}
