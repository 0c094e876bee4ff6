#include "app/csv/CellExport.h"

#include <cstring>

bool TakeCellOption(int argc, char** argv, int& i, TCellArgs& args, std::string& error)
{
    const std::string a = argv[i];
    static const char* const names[] = {"--cells", "--where", "--min-hits", "--stat"};
    for (int k = 0; k < 4; ++k) {
        const std::size_t n = std::strlen(names[k]);
        if (a.compare(0, n, names[k]) != 0 || (a.size() > n && a[n] != '=')) continue;
        std::string value;
        if (a.size() > n) value = a.substr(n + 1);
        else if (i + 1 < argc) value = argv[++i];
        else {
            error = std::string(names[k]) + " needs a value";
            return true;
        }
        std::string* slots[] = {&args.Cells, &args.Where, &args.MinHits, &args.Stat};
        *slots[k] = value;
        (k == 0 ? args.HaveCells : args.HaveOther) = true;
        return true;
    }
    return false;
}

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
