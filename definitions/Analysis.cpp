#include "definitions/Analysis.h"

#include "decode/Hex.h"

#include <algorithm>
#include <iterator>

const char* const AnalysisSection = "[ANALYSIS]";

namespace {

// The keys of table `index` (from 0): bare for the first, numbered after it.
std::string Key(const char* key, int index) { return index == 0 ? key : key + std::to_string(index + 1); }

const char* const kTableKeys[] = {"Name", "X", "XBreaks", "Y", "YBreaks", "Z", "Stat", "MinHits", "Centre", "Where"};

} // namespace

bool HasAnalysisChoices(const TLxPersist& store) { return store.FindKey(AnalysisSection, "Overview") >= 0; }

TAnalysisChoices ReadAnalysisChoices(const TLxPersist& store)
{
    TAnalysisChoices c;
    c.Overview = SplitList(store.ReadString(AnalysisSection, "Overview", ""));
    // Table 1 is always there; the others while their X key is.
    for (int i = 0; i < MaxCellTables && (i == 0 || store.FindKey(AnalysisSection, Key("X", i)) >= 0); ++i) {
        TCellChoices t;
        std::string* fields[] = {&t.Name, &t.X, &t.XBreaks, &t.Y, &t.YBreaks, &t.Z, &t.Stat, &t.MinHits, &t.Centre, &t.Where};
        for (std::size_t k = 0; k < std::size(kTableKeys); ++k)
            *fields[k] = store.ReadString(AnalysisSection, Key(kTableKeys[k], i), *fields[k]);
        c.Tables.push_back(std::move(t));
    }
    return c;
}

void WriteAnalysisChoices(TLxPersist& store, const TAnalysisChoices& c)
{
    store.WriteString(AnalysisSection, "Overview", JoinCommaText(c.Overview));
    const std::vector<TCellChoices> tables = c.Tables.empty() ? std::vector<TCellChoices>(1) : c.Tables;
    const int n = std::min(static_cast<int>(tables.size()), MaxCellTables);
    for (int i = 0; i < n; ++i) {
        const TCellChoices& t = tables[static_cast<std::size_t>(i)];
        const std::string* fields[] = {&t.Name, &t.X, &t.XBreaks, &t.Y, &t.YBreaks, &t.Z, &t.Stat, &t.MinHits, &t.Centre, &t.Where};
        for (std::size_t k = 0; k < std::size(kTableKeys); ++k) {
            // A nameless table writes no Name key, so one table's lines stay as they were.
            if (k == 0 && t.Name.empty()) store.DeleteKey(AnalysisSection, Key("Name", i));
            else store.WriteString(AnalysisSection, Key(kTableKeys[k], i), *fields[k]);
        }
    }
    // Tables removed since the last Save.
    for (int i = std::max(n, 1); i < MaxCellTables; ++i)
        for (const char* k : kTableKeys) store.DeleteKey(AnalysisSection, Key(k, i));
}

std::string AnalysisText(const TAnalysisChoices& c)
{
    TLxPersist store;
    WriteAnalysisChoices(store, c);
    std::string text;
    for (const auto& l : store.Lines) text += l + "\r\n";
    return text;
}

std::string CellTableName(const TCellChoices& t, int index)
{
    return t.Name.empty() ? "Table " + std::to_string(index + 1) : t.Name;
}
