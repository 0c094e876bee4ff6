#include "decode/DisplayLayout.h"

#include "decode/Hex.h"

namespace {

const std::string& Cell(const std::vector<std::string>& row, int col)
{
    static const std::string empty;
    return col < static_cast<int>(row.size()) ? row[static_cast<std::size_t>(col)] : empty;
}

} // namespace

void BuildDisplays(const std::vector<std::vector<std::string>>& words, TAldl& aldl, TDisplayLayout& layout)
{
    aldl.Clear();
    layout = TDisplayLayout{};
    for (const auto& row : words) aldl.Add(row);
    for (TExprProblem& p : aldl.CompileExpressions()) layout.Problems.push_back(std::move(p.Text));
    for (int i = 0; i < aldl.Count(); ++i)
        (aldl.Items(i).Display == DisplayKind::Flag ? layout.MalfWords : layout.DataWords).push_back(i);

    for (const auto& row : words) {
        if (Cell(row, colDisplay) != "Chart") continue;
        const int chart = StrToIntDef(Cell(row, colChart), 0);
        const int series = StrToIntDef(Cell(row, colSeries), 0);
        const long double dmin = FloatFromText(Cell(row, colDmin), 0.0L);
        const long double dmax = FloatFromText(Cell(row, colDmax), 255.0L);
        if (chart < 1 || chart > 3 || series == 0) continue;
        TChartLayout& c = layout.Charts[static_cast<std::size_t>(chart - 1)];
        if (dmin < c.MinRange) c.MinRange = dmin;
        if (dmax > c.MaxRange) c.MaxRange = dmax;
        // A series outside 1 to 4 widens the range but names nothing.
        if (series >= 1 && series <= 4) c.Names[static_cast<std::size_t>(series - 1)] = Cell(row, colID);
    }
}
