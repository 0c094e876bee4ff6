// TfrmMain::DecodeFrame: every decoder reads its word out of a good frame;
// values go to sgData, flag texts to sgMalf, and samples to the charts.
#include "decode/Errors.h"
#include "decode/Hex.h"
#include "decode/WordDecode.h"
#include "definitions/Sgrid.h"
#include "ui/Main.h"

void TfrmMain::FailCountUp(TLxSgrid* grid, int col, int row)
{
    const std::int32_t n = StrToIntDef(grid->Cells(col, row), 0);
    grid->SetCells(col, row, std::to_string(static_cast<std::int64_t>(n) + 1));
}

void TfrmMain::DecodeFrame(const FrameBuffer& frame, int count)
{
    static_assert(FeedNoValue == NoValue, "the decoder's empty slot is the chart's");
    if (count <= 0) return;
    TFrameResult r;
    DecodeWords(Aldl, frame, r);
    const int decoded = r.FirstUnread < 0 ? Aldl.Count() : r.FirstUnread;
    int dataRow = 1, malfRow = 1;
    for (int i = 0; i < decoded; ++i) {
        const TDisplay& d = Aldl.Items(i);
        const TWordResult& w = r.Words[static_cast<std::size_t>(i)];
        if (d.Display == DisplayKind::Flag) {
            sgMalf->SetCells(2, malfRow, NumberToText(w.Raw));
            sgMalf->SetCells(3, malfRow, w.Text);
            if (w.Below || w.Above) FailCountUp(sgMalf, 6, malfRow);
            ++malfRow;
        } else {
            sgData->SetCells(2, dataRow, NumberToText(w.Raw));
            sgData->SetCells(3, dataRow, w.Text);
            if (w.Below) FailCountUp(sgData, 6, dataRow);
            if (w.Above) FailCountUp(sgData, 7, dataRow);
            ++dataRow;
        }
    }
    if (r.FirstUnread >= 0) {
        // A start byte outside the buffer: the cells written so far stay, no chart point.
        const TDisplay& d = Aldl.Items(r.FirstUnread);
        rawByte(frame.data(), FrameLast, d.StartByte, d.StartBit, d.Bits);
        throw ERangeError("Range check error: start byte " + std::to_string(d.StartByte));
    }
    chart1->AddPoints(r.Feed[0]);
    chart2->AddPoints(r.Feed[1]);
    chart3->AddPoints(r.Feed[2]);
}
