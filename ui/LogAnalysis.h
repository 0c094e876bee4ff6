#pragma once
// The Log Analysis page: an overview of the whole log for up to four words
// (min/max per pixel, so a million frames draw at once) with the replay's
// cursor, and cell tables of one word over two others, filled as frames
// come and from the whole log on request; one is shown at a time. Its choices are kept with the
// definition in their own section, which other builds pass over.
#include "decode/Aldl.h"
#include "decode/CellTable.h"
#include "decode/Hex.h"
#include "definitions/Analysis.h"
#include "definitions/Persist.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class TLogReader;

// The overview's frames: log time and up to four values (NaN: none). Past
// Cap points, neighbours are merged into one point holding their lowest and
// highest values, so a log of gigabytes takes a few tens of MB at most.
struct TOverviewData {
    std::vector<std::int64_t> Time;           // of each point's first frame
    std::array<std::vector<float>, 4> Values; // each point's lowest value
    std::array<std::vector<float>, 4> Highs;  // and highest
    std::size_t Cap = 1 << 19;                // even
    std::int64_t Per = 1;                     // frames a point holds
    std::array<std::string, 4> Names;
    std::array<double, 4> Lo{}, Hi{}; // each series' scale (the word's display range)
    void Clear();
    void Add(std::int64_t t, const std::array<float, 4>& v);
    std::size_t Size() const { return Time.size(); }

private:
    void Compact();
    std::int64_t lastCount_ = 0;
};

class TLxOverview : public QWidget {
    Q_OBJECT
public:
    explicit TLxOverview(const TOverviewData& data, QWidget* parent = nullptr);
    void SetCursorTime(std::int64_t ms);
    void ResetZoom();
    void SetRange(std::int64_t from, std::int64_t to);
    std::int64_t From() const { return from_; }
    std::int64_t To() const { return to_; }
    std::int64_t TimeAt(int x) const;
    QSize sizeHint() const override { return {600, 160}; }

signals:
    void SeekTo(std::int64_t ms);

protected:
    void paintEvent(QPaintEvent*) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent*) override { ResetZoom(); }

private:
    QRect Plot() const;
    int XOf(std::int64_t t) const;
    const TOverviewData& data_;
    std::int64_t from_ = 0, to_ = 0, cursor_ = -1;
    bool zoomed_ = false;
    int pressX_ = -1, dragX_ = -1;
};

class TLxLogAnalysis : public QWidget {
    Q_OBJECT
public:
    explicit TLxLogAnalysis(QWidget* parent = nullptr);
    ~TLxLogAnalysis() override;

    // A new definition (or changed words): word lists, and the page's
    // choices read from `store`.
    void SetDefinition(const TAldl& aldl, TLxPersist& store);
    // A replay of `logName` starts: the overview reads the whole log in
    // slices. Empty name: a live run (the overview grows with it).
    void StartRun(const std::string& logName);
    // One frame shown, at `ms` of the log's (or the run's) time.
    void Frame(const FrameBuffer& frame, int count, std::int64_t ms);
    // Builds every cell table from the whole log (the one replayed). False
    // when there is none or it cannot be read.
    bool BuildFromLog();
    // Applies the typed choices to the table shown: it starts again. False
    // (and a message) when they are not valid.
    bool Apply();
    // Another table, first a copy of the one shown, and shown; false at MaxCellTables.
    bool AddTable();
    // Removes the table shown, unless it is the only one.
    void RemoveTable();
    void ShowTableAt(int index);
    int TableCount() const { return static_cast<int>(sheets_.size()); }
    int Shown() const { return shown_; }
    void Copy();
    // Writes the choices into the definition's store (SaveInfo calls this,
    // after the store was read again); only once they were changed here or
    // the definition already has them, so an untouched definition stays as it is.
    void StoreChoices();

    TLxOverview* Overview() const { return overview_; }
    QTableWidget* Table() const { return table_; }
    const TCellTable& Cells() const { return sheets_[static_cast<std::size_t>(shown_)].Cells; }
    const TCellTable& CellsAt(int i) const { return sheets_[static_cast<std::size_t>(i)].Cells; }
    const TOverviewData& Data() const { return data_; }
    int CurrentCell() const { return current_; }
    bool Scanning() const;

    QComboBox* cbWords[4] = {};
    QComboBox* cbTable = nullptr;
    QLineEdit* txtName = nullptr;
    QPushButton *btnAddTable = nullptr, *btnRemoveTable = nullptr;
    QComboBox *cbX = nullptr, *cbY = nullptr, *cbZ = nullptr, *cbStat = nullptr;
    QLineEdit *txtXBreaks = nullptr, *txtYBreaks = nullptr, *txtWhere = nullptr, *txtCentre = nullptr;
    QSpinBox* spMinHits = nullptr;
    QPushButton *btnApply = nullptr, *btnBuild = nullptr, *btnCopy = nullptr;

signals:
    void SeekTo(std::int64_t ms);

private:
    void ScanSlice();
    void OverviewWordsChanged();
    void ShowTable();
    void SaveChoices();
    // The shown table's choices between the widgets and its sheet.
    void KeepSheet();
    void LoadSheet(int index);
    void ListTables();
    bool SetupOf(const TCellChoices& c, TCellSetup& setup, std::string& error) const;
    std::array<float, 4> OverviewValues(const TFrameResult& r, int count) const;
    int WordOf(const QComboBox* c) const; // -1 for none

    const TAldl* aldl_ = nullptr;
    TLxPersist* store_ = nullptr;
    TOverviewData data_;
    TLxOverview* overview_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* lblState = nullptr;
    struct TSheet {
        TCellChoices Choices; // as typed, IDs for the words
        TCellTable Cells;
        bool Whole = false; // built from the whole log: frames shown are in it already
        int Current = -1;
    };
    std::vector<TSheet> sheets_{1};
    int shown_ = 0;
    TFrameResult result_;
    int current_ = -1; // the shown sheet's, for the outline
    std::string logName_;
    TLogReader* scan_ = nullptr;
    QTimer* scanTimer_ = nullptr;
    std::int64_t scanTime_ = 0, scanLines_ = 0;
    std::int32_t scanStamp_ = 0;
    bool loading_ = false, touched_ = false;
    std::int64_t lastPaint_ = 0;
};
