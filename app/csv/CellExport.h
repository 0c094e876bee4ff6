#pragma once
// diduvuve-csv --cells: a cell table of the whole log instead of one line
// per frame, through the same table the window's Log Analysis page fills.
#include "decode/CellTable.h"
#include "decode/Hex.h"
#include "definitions/Definition.h"

#include <string>

struct TCellArgs {
    std::string Cells, Where, Stat, MinHits;
    bool HaveCells = false;
};

class TCellExport {
public:
    explicit TCellExport(const TDefinition& def);
    // False with a reason for an unknown ID, breakpoints out of order, an
    // empty axis, a bad condition, statistic or minimum of hits.
    bool Setup(const TCellArgs& args, std::string& error);
    void AddLine(const FrameBuffer& frame, int count);
    // The table as CSV, CR LF line ends.
    void Append(std::string& out) const { table_.AppendCsv(out); }
    const TCellTable& Table() const { return table_; }

private:
    TAldl aldl_;
    TCellTable table_;
    TFrameResult result_;
};
