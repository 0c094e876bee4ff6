// TfrmMain::SetUpDisplays: the current definition becomes the live displays.
#include "decode/DisplayLayout.h"
#include "decode/Hex.h"
#include "definitions/Dialogs.h"
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
    std::vector<std::vector<std::string>> words;
    for (int r = 1; r <= sgAldl->RowCount() - 2; ++r) words.push_back(RowCells(*sgAldl, r));
    TDisplayLayout layout;
    BuildDisplays(words, Aldl, layout);

    EmptyDataCells(sgMalf);
    EmptyDataCells(sgData);
    auto layRows = [&](TLxSgrid* g, const std::vector<int>& indexes) {
        int row = 1;
        for (int i : indexes) {
            const TDisplay& d = Aldl.Items(i);
            g->SetRowCount(row + 1);
            g->SetCells(0, row, d.Name);
            g->SetCells(1, row, d.ID);
            g->SetCells(4, row, NumberToText(d.Amin));
            g->SetCells(5, row, NumberToText(d.Amax));
            ++row;
        }
    };
    layRows(sgMalf, layout.MalfWords);
    layRows(sgData, layout.DataWords);

    TLxChart* charts[3] = {chart1, chart2, chart3};
    for (TLxChart* c : charts) c->SetUpdating(true);
    for (TLxChart* c : charts) {
        c->SetMinRange(0.0L);
        c->SetMaxRange(1.0L);
    }
    for (int k = 0; k < 3; ++k) {
        const auto& names = layout.Charts[static_cast<std::size_t>(k)].Names;
        TLxSeries& s = charts[k]->Series();
        s.SetSeries1(names[0]);
        s.SetSeries2(names[1]);
        s.SetSeries3(names[2]);
        s.SetSeries4(names[3]);
    }
    for (int k = 0; k < 3; ++k) {
        charts[k]->SetMinRange(layout.Charts[static_cast<std::size_t>(k)].MinRange);
        charts[k]->SetMaxRange(layout.Charts[static_cast<std::size_t>(k)].MaxRange);
    }
    for (TLxChart* c : charts) c->SetUpdating(false);

    if (!layout.Problems.empty()) {
        std::string text;
        for (const std::string& p : layout.Problems) text += (text.empty() ? "" : "\n") + p;
        Dialogs().Message(text, "Diduvuve", MsgButtons::Ok, MsgKind::Warning);
    }
}
