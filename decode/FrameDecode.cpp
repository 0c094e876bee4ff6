// TfrmMain::DecodeFrame: every decoder reads its word out of a good frame;
// values go to sgData, flag texts to sgMalf, and samples to the charts.
#include "decode/Errors.h"
#include "decode/Hex.h"
#include "definitions/Sgrid.h"
#include "ui/Main.h"

#include <cmath>

void TfrmMain::FailCountUp(TLxSgrid* grid, int col, int row)
{
    const std::int32_t n = StrToIntDef(grid->Cells(col, row), 0);
    grid->SetCells(col, row, std::to_string(static_cast<std::int64_t>(n) + 1));
}

void TfrmMain::DecodeFrame(const FrameBuffer& frame, int count)
{
    if (count <= 0) return;
    std::array<ChartSample, 3> feed;
    for (auto& s : feed) s.fill(NoValue);
    int dataRow = 1, malfRow = 1;
    for (int i = 0; i < Aldl.Count(); ++i) {
        const TDisplay& d = Aldl.Items(i);
        // A start byte outside the buffer throws here: cells written so far stay, no chart point.
        const std::int32_t raw = rawByte(frame.data(), FrameLast, d.StartByte, d.StartBit, d.Bits);
        const long double value = static_cast<long double>(raw) * d.Factor + d.Offset;
        if (d.Display == DisplayKind::Flag) {
            sgMalf->SetCells(2, malfRow, NumberToText(raw));
            const long double n = static_cast<long double>(d.Flags.size());
            std::string text = "?";
            // Written so that a NaN value also shows "?".
            if (value >= 0 && value < n) {
                const long double index = std::nearbyint(value); // ties to even
                if (index < n) text = d.Flags[static_cast<std::size_t>(index)];
            }
            sgMalf->SetCells(3, malfRow, text);
            if (value < d.Amin || value > d.Amax) FailCountUp(sgMalf, 6, malfRow);
            ++malfRow;
        } else {
            sgData->SetCells(2, dataRow, NumberToText(raw));
            sgData->SetCells(3, dataRow, NumberToText(value));
            if (value < d.Amin) FailCountUp(sgData, 6, dataRow);
            if (value > d.Amax) FailCountUp(sgData, 7, dataRow);
            ++dataRow;
            if (d.Chart >= 1 && d.Chart <= 3 && d.Series >= 1 && d.Series <= 4)
                feed[static_cast<std::size_t>(d.Chart - 1)][static_cast<std::size_t>(d.Series - 1)] = value;
        }
    }
    chart1->AddPoints(feed[0]);
    chart2->AddPoints(feed[1]);
    chart3->AddPoints(feed[2]);
}
