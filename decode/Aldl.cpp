#include "Aldl.h"

#include "Errors.h"
#include "Hex.h"

#include <cmath>

namespace {

const std::string& Cell(const std::vector<std::string>& cells, int col)
{
    static const std::string empty;
    return col < static_cast<int>(cells.size()) ? cells[static_cast<std::size_t>(col)] : empty;
}

// 2^bits - 1 in extended precision; defined for any width the cell may hold.
long double FullScale(std::int32_t bits) { return std::pow(2.0L, static_cast<long double>(bits)) - 1.0L; }

} // namespace

std::int32_t ParseStartByte(const std::string& text)
{
    auto dot = text.find('.');
    return StrToIntDef(dot == std::string::npos ? text : text.substr(0, dot), 1);
}

std::int32_t ParseStartBit(const std::string& text)
{
    auto dot = text.find('.');
    if (dot == std::string::npos) return 0;
    return StrToIntDef(text.substr(dot + 1, 1), 0);
}

std::int32_t RawWord(const std::uint8_t* buf, int last, std::int32_t startByte, std::int32_t startBit,
                     std::int32_t bits)
{
    const std::int64_t p = static_cast<std::int64_t>(startByte) - 1;
    if (p < 0 || p > last)
        throw ERangeError("Range check error: start byte " + std::to_string(startByte) +
                          " is outside 1 to " + std::to_string(last + 1));
    if (startBit < 0 || bits < 0 || startBit + static_cast<std::int64_t>(bits) > 24) return 0;
    const std::uint32_t low = buf[p];
    const std::uint32_t mid = p >= 1 ? buf[p - 1] : 0;
    const std::uint32_t high = p >= 2 ? buf[p - 2] : 0;
    const std::uint32_t window = high << 16 | mid << 8 | low;
    const std::uint32_t mask = 0xFFFFFFu >> (24 - startBit - bits);
    return static_cast<std::int32_t>((window & mask) >> startBit);
}

TDisplay::TDisplay(const std::vector<std::string>& cells)
{
    Name = Cell(cells, colName);
    ID = Cell(cells, colID);
    StartByte = ParseStartByte(Cell(cells, colStart));
    StartBit = ParseStartBit(Cell(cells, colStart));
    Bits = StrToIntDef(Cell(cells, colBits), 8);
    Amin = FloatFromText(Cell(cells, colAmin), 0.0L);
    Amax = FloatFromText(Cell(cells, colAmax), FullScale(Bits));
    const std::string& kind = Cell(cells, colDisplay);
    if (kind == "Flag") Display = DisplayKind::Flag;
    else if (kind == "Chart") Display = DisplayKind::Chart;
    else Display = DisplayKind::Value;
    Chart = StrToIntDef(Cell(cells, colChart), 0);
    Series = StrToIntDef(Cell(cells, colSeries), 0);
    Dmin = FloatFromText(Cell(cells, colDmin), 0.0L);
    Dmax = FloatFromText(Cell(cells, colDmax), FullScale(Bits));
    Units = Cell(cells, colUnits);
    Factor = FloatFromText(Cell(cells, colFactor), 1.0L);
    Offset = FloatFromText(Cell(cells, colOffset), 0.0L);
    Flags = SplitList(Cell(cells, colFlags));
    Avg = StrToIntDef(Cell(cells, colAvg), 0);
    if (IsExpressionText(Cell(cells, colFormula))) Expression = Cell(cells, colFormula);
}

void TAldl::Add(const std::vector<std::string>& cells) { items_.push_back(std::make_unique<TDisplay>(cells)); }

void TAldl::Clear()
{
    items_.clear();
    exprs_.Clear();
}

std::vector<TExprProblem> TAldl::CompileExpressions()
{
    std::vector<TExprWord> words;
    words.reserve(items_.size());
    for (const auto& d : items_) words.push_back({d->Name, d->ID, d->Expression});
    std::vector<TExprProblem> problems = exprs_.Compile(words);
    for (int i = 0; i < Count(); ++i) {
        TDisplay& d = *items_[static_cast<std::size_t>(i)];
        d.Computed = exprs_.Has(i);
        if (!d.Expression.empty() && !d.Computed) {
            d.Factor = 1.0L;
            d.Offset = 0.0L;
        }
    }
    return problems;
}

TDisplay& TAldl::Items(int index)
{
    if (index < 0 || index >= Count())
        throw ERangeError("List index out of bounds (" + std::to_string(index) + ")");
    return *items_[static_cast<std::size_t>(index)];
}

const TDisplay& TAldl::Items(int index) const { return const_cast<TAldl*>(this)->Items(index); }
