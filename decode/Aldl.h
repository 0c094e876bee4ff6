#pragma once
// The stream word model: one decoder per definition row, and the ordered
// list of them that decodes every frame.
#include "decode/Expression.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class DisplayKind : std::uint8_t { Value = 0, Chart = 1, Flag = 2 };

// Column indexes of a definition row.
enum DefColumn : int {
    colName = 0, colID, colStart, colBits, colAmin, colAmax, colDisplay, colChart, colSeries,
    colDmin, colDmax, colFormula, colUnits, colFactor, colOffset, colFlags, colAvg,
    DefColumnCount
};

std::int32_t ParseStartByte(const std::string& text);
std::int32_t ParseStartBit(const std::string& text);

// Raw value of a word out of a buffer whose last index is `last`.
// A start byte outside 1..last+1 throws ERangeError. A bit window that
// does not fit 24 bits (negative bit or width, bit + bits > 24) gives 0.
std::int32_t RawWord(const std::uint8_t* buf, int last, std::int32_t startByte,
                     std::int32_t startBit, std::int32_t bits);

class TDisplay {
public:
    // `cells` indexed by column; missing cells count as empty.
    explicit TDisplay(const std::vector<std::string>& cells);

    std::string Name;
    std::string ID;
    std::int32_t StartByte = 1;
    std::int32_t StartBit = 0;
    std::int32_t Bits = 8;
    DisplayKind Display = DisplayKind::Value;
    long double Factor = 1.0L;
    long double Offset = 0.0L;
    std::string Units;
    std::int32_t Avg = 0;
    std::int32_t Chart = 0;
    std::int32_t Series = 0;
    long double Dmin = 0.0L;
    long double Dmax = 255.0L;
    long double Amin = 0.0L;
    long double Amax = 255.0L;
    std::vector<std::string> Flags;
    // A Formula cell starting with "=" (empty otherwise), and whether it
    // compiled at set-up and so replaces Factor and Offset.
    std::string Expression;
    bool Computed = false;
};

class TAldl {
public:
    void Add(const std::vector<std::string>& cells);
    void Clear();
    // Throws ERangeError outside 0..Count()-1.
    TDisplay& Items(int index);
    const TDisplay& Items(int index) const;
    int Count() const { return static_cast<int>(items_.size()); }

    // Compiles the expressions of every decoder, after the last Add. A word
    // whose expression fails gets a problem and shows its raw value.
    std::vector<TExprProblem> CompileExpressions();
    // The compiled expressions; evaluating keeps each frame's results in it.
    TExprSet& Expressions() const { return exprs_; }

private:
    std::vector<std::unique_ptr<TDisplay>> items_;
    mutable TExprSet exprs_;
};
