#include "app/csv/CellExport.h"

#include <cstring>

TCellExport::TCellExport(const TDefinition& def)
{
    for (const auto& row : def.Words) aldl_.Add(row);
}

bool TCellExport::Setup(const TCellArgs& args, std::string& error)
{
    TCellSetup setup;
    if (!ParseCellAxes(args.Cells, aldl_, setup, error)) return false;
    if (!ParseCellConditions(args.Where, aldl_, setup.Where, error)) {
        error = "--where: " + error;
        return false;
    }
    if (!args.Stat.empty() && !ParseCellStat(args.Stat, setup.Stat)) {
        error = "--stat must be mean, count, min or max, not \"" + args.Stat + "\"";
        return false;
    }
    if (!args.MinHits.empty()) {
        std::int32_t n = 0;
        if (!TryStrToInt(args.MinHits, n) || n < 1) {
            error = "--min-hits must be a whole number of 1 or more, not \"" + args.MinHits + "\"";
            return false;
        }
        setup.MinHits = n;
    }
    table_.Reset(aldl_, setup);
    return true;
}

void TCellExport::AddLine(const FrameBuffer& frame, int count)
{
    if (count <= 0) return;
    DecodeWords(aldl_, frame, result_, false);
    table_.Add(result_, count);
}
