// TfrmMain::SetUpDisplays: the current definition becomes the live displays.
#include "decode/Hex.h"
#include "definitions/Sgrid.h"
#include "ui/Main.h"

namespace {

std::vector<std::string> RowCells(const TLxSgrid& g, int row)
{
    std::vector<std::string> cells(static_cast<std::size_t>(DefColumnCount));
    for (int c = 0; c < DefColumnCount; ++c) cells[static_cast<std::size_t>(c)] = g.Cells(c, row);
    return cells;
}

void EmptyDataCells(TLxSgrid* g)
{
    g->SetRowCount(2);
    for (int c = 0; c < g->ColCount(); ++c) g->SetCells(c, 1, "");
}

} // namespace

void TfrmMain::SetUpDisplays()
{
    Aldl.Clear();
    for (int r = 1; r <= sgAldl->RowCount() - 2; ++r) Aldl.Add(RowCells(*sgAldl, r));

    EmptyDataCells(sgMalf);
    EmptyDataCells(sgData);
    int dataRow = 1, malfRow = 1;
    for (int i = 0; i < Aldl.Count(); ++i) {
        const TDisplay& d = Aldl.Items(i);
        const bool flag = d.Display == DisplayKind::Flag;
        TLxSgrid* g = flag ? sgMalf : sgData;
        int& row = flag ? malfRow : dataRow;
        g->SetRowCount(row + 1);
        g->SetCells(0, row, d.Name);
        g->SetCells(1, row, d.ID);
        g->SetCells(4, row, NumberToText(d.Amin));
        g->SetCells(5, row, NumberToText(d.Amax));
        ++row;
    }

    TLxChart* charts[3] = {chart1, chart2, chart3};
    for (TLxChart* c : charts) c->SetUpdating(true);
    for (TLxChart* c : charts) {
        c->SetMinRange(0.0L);
        c->SetMaxRange(1.0L);
    }
    for (TLxChart* c : charts) {
        c->Series().SetSeries1("Series 1");
        c->Series().SetSeries2("Series 2");
        c->Series().SetSeries3("Series 3");
        c->Series().SetSeries4("Series 4");
    }
    long double low[3] = {0.0L, 0.0L, 0.0L}, high[3] = {1.0L, 1.0L, 1.0L};
    for (int r = 1; r <= sgAldl->RowCount() - 1; ++r) {
        if (sgAldl->Cells(colDisplay, r) != "Chart") continue;
        const int chart = StrToIntDef(sgAldl->Cells(colChart, r), 0);
        const int series = StrToIntDef(sgAldl->Cells(colSeries, r), 0);
        const long double dmin = FloatFromText(sgAldl->Cells(colDmin, r), 0.0L);
        const long double dmax = FloatFromText(sgAldl->Cells(colDmax, r), 255.0L);
        if (chart == 0 || series == 0 || chart < 1 || chart > 3) continue;
        const int k = chart - 1;
        if (dmin < low[k]) low[k] = dmin;
        if (dmax > high[k]) high[k] = dmax;
        TLxSeries& s = charts[k]->Series();
        const std::string id = sgAldl->Cells(colID, r);
        switch (series) {
        case 1: s.SetSeries1(id); break;
        case 2: s.SetSeries2(id); break;
        case 3: s.SetSeries3(id); break;
        case 4: s.SetSeries4(id); break;
        default: break; // widens the range, names nothing
        }
    }
    for (int k = 0; k < 3; ++k) {
        charts[k]->SetMinRange(low[k]);
        charts[k]->SetMaxRange(high[k]);
    }
    for (TLxChart* c : charts) c->SetUpdating(false);
}
