#pragma once
// The Log Analysis page's choices as a definition keeps them, in a section
// of its own beside [ALDL] and [STREAM]; builds that don't know the section
// keep it on Save. No Qt: the importer writes the choices the page reads.
#include "definitions/Persist.h"

#include <string>
#include <vector>

extern const char* const AnalysisSection; // "[ANALYSIS]"

struct TAnalysisChoices {
    std::vector<std::string> Overview; // up to four word IDs, "-" for none
    std::string X, XBreaks, Y, YBreaks, Z;
    std::string Stat = "mean";
    std::string MinHits = "1";
    std::string Centre = "128";
    std::string Where;
};

// Whether the definition holds choices at all (the page then shows them).
bool HasAnalysisChoices(const TLxPersist& store);
TAnalysisChoices ReadAnalysisChoices(const TLxPersist& store);
void WriteAnalysisChoices(TLxPersist& store, const TAnalysisChoices& c);
// The section's lines as a definition file holds them (CR LF ends).
std::string AnalysisText(const TAnalysisChoices& c);
