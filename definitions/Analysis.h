#pragma once
// The Log Analysis page's choices as a definition keeps them, in a section
// of its own beside [ALDL] and [STREAM]; builds that don't know the section
// keep it on Save. No Qt: the importer writes the choices the page reads.
#include "definitions/Persist.h"

#include <string>
#include <vector>

extern const char* const AnalysisSection; // "[ANALYSIS]"

// One cell table. The first is kept under the keys X, XBreaks, ... that
// every build reads; the others under the same keys numbered from 2 (X2,
// XBreaks2, ...), which a build of one table keeps on Save.
struct TCellChoices {
    std::string Name; // empty: "Table N"
    std::string X, XBreaks, Y, YBreaks, Z;
    std::string Stat = "mean";
    std::string MinHits = "1";
    std::string Centre = "128";
    std::string Where;
    bool operator==(const TCellChoices&) const = default;
};

// More tables than anyone reads at once are left out, so a hostile file
// cannot make every frame go to thousands of tables.
constexpr int MaxCellTables = 32;

struct TAnalysisChoices {
    std::vector<std::string> Overview; // up to four word IDs, "-" for none
    std::vector<TCellChoices> Tables;  // at least one once read from a store
};

// Whether the definition holds choices at all (the page then shows them).
bool HasAnalysisChoices(const TLxPersist& store);
TAnalysisChoices ReadAnalysisChoices(const TLxPersist& store);
void WriteAnalysisChoices(TLxPersist& store, const TAnalysisChoices& c);
// The section's lines as a definition file holds them (CR LF ends).
std::string AnalysisText(const TAnalysisChoices& c);
// The name a table is shown by: its own, or "Table N" (N from 1).
std::string CellTableName(const TCellChoices& t, int index);
