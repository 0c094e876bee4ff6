#pragma once
// Cell tables: one word's values gathered over the cells of two others (for
// example block learn over RPM x MAP), frame by frame or over a whole log.
// The window's Log Analysis page and diduvuve-csv --cells both use this, so
// they give the same numbers for the same log.
#include "decode/Aldl.h"
#include "decode/WordDecode.h"

#include <cstdint>
#include <string>
#include <vector>

enum class CellStat : std::uint8_t { Mean, Count, Min, Max };
enum class CellOp : std::uint8_t { Less, LessEq, Greater, GreaterEq, Equal, NotEqual };

// `word op value` on the scaled value, or `word = text` / `word != text` on a
// Flag word's shown text.
struct TCellCondition {
    int Word = -1;
    CellOp Op = CellOp::Equal;
    bool ByText = false;
    long double Value = 0;
    std::string Text;
};

struct TCellAxis {
    int Word = -1;
    std::vector<long double> Breaks; // strictly increasing, never empty
    std::vector<std::string> Texts;  // each breakpoint as it was typed
};

struct TCellSetup {
    TCellAxis X, Y;
    int Z = -1;
    std::vector<TCellCondition> Where;
    CellStat Stat = CellStat::Mean;
    int MinHits = 1;
};

struct TCellStats {
    std::int64_t Hits = 0;
    long double Sum = 0, Min = 0, Max = 0;
};

// The word with exactly this ID, or -1.
int FindWordId(const TAldl& aldl, const std::string& id);

// "b1,b2,..." (blanks allowed around items). False with a reason when an
// item is not a number, the list is empty or not strictly increasing.
bool ParseBreakpoints(const std::string& text, TCellAxis& axis, std::string& error);
// `steps`+1 even breakpoints over the word's display range (Dmin..Dmax).
TCellAxis DefaultAxis(const TAldl& aldl, int word, int steps = 8);
// "X=ID:b1,b2,...;Y=ID:b1,b2,...;Z=ID" into setup.X, setup.Y and setup.Z.
bool ParseCellAxes(const std::string& text, const TAldl& aldl, TCellSetup& setup, std::string& error);
// The word a condition names: by ID first, then by name (letters folded,
// blanks kept). -1 with a reason naming the text when none or several fit.
int FindConditionWord(const TAldl& aldl, const std::string& text, std::string& error);
// "COND,COND,..." where COND is a word (ID or name), an operator (< <= > >=
// = != or the signs ≤ ≥ ≠) and a number or a Flag text; a Flag text holding
// a comma is written in double quotes.
bool ParseCellConditions(const std::string& text, const TAldl& aldl, std::vector<TCellCondition>& out,
                         std::string& error);
// "mean", "count", "min" or "max".
bool ParseCellStat(const std::string& text, CellStat& stat);
const char* CellStatName(CellStat stat);
// The conditions written back in the form ParseCellConditions reads.
std::string ConditionsText(const TAldl& aldl, const std::vector<TCellCondition>& where);
std::string BreakpointsText(const TCellAxis& axis);

// Index of the breakpoint nearest to v: a tie goes to the lower one, and
// values beyond the ends go to the end breakpoints.
int NearestBreak(const std::vector<long double>& breaks, long double v);

class TCellTable {
public:
    // `aldl` must outlive the table (or the next Reset). Empties the cells.
    void Reset(const TAldl& aldl, const TCellSetup& setup);
    void Clear();
    const TCellSetup& Setup() const { return setup_; }
    bool Ready() const { return aldl_ != nullptr; }

    // One decoded frame of `count` bytes. A frame that fails a condition, or
    // lacks a value for X, Y, Z or a condition's word (its bytes did not
    // arrive, or the value is not finite), is left out. True when counted.
    bool Add(const TFrameResult& frame, int count);
    // The cell (y * Columns() + x) the frame would go to, or -1.
    int CellOf(const TFrameResult& frame, int count) const;

    int Columns() const { return static_cast<int>(setup_.X.Breaks.size()); }
    int Rows() const { return static_cast<int>(setup_.Y.Breaks.size()); }
    const TCellStats& Stats(int x, int y) const { return cells_[static_cast<std::size_t>(y * Columns() + x)]; }
    std::int64_t Counted() const { return counted_; }
    // The statistic of a cell; false when it has fewer than MinHits frames.
    bool Value(int x, int y, long double& out) const;

    // "Y\X" and the X breakpoints, then per Y breakpoint its row; each
    // cell in the tables' number text or empty. CR LF line ends.
    void AppendCsv(std::string& out) const;
    // The same table with tabs and LF, as a spreadsheet pastes it.
    std::string TabText() const;

private:
    bool WordValue(const TFrameResult& frame, int count, int word, long double& v) const;
    void AppendTable(std::string& out, char sep, const char* eol) const;

    const TAldl* aldl_ = nullptr;
    TCellSetup setup_;
    std::vector<TCellStats> cells_;
    std::int64_t counted_ = 0;
};
