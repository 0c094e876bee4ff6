#include "definitions/Analysis.h"

#include "decode/Hex.h"

const char* const AnalysisSection = "[ANALYSIS]";

bool HasAnalysisChoices(const TLxPersist& store) { return store.FindKey(AnalysisSection, "Overview") >= 0; }

TAnalysisChoices ReadAnalysisChoices(const TLxPersist& store)
{
    TAnalysisChoices c;
    auto read = [&](const char* key, std::string& into) { into = store.ReadString(AnalysisSection, key, into); };
    c.Overview = SplitList(store.ReadString(AnalysisSection, "Overview", ""));
    read("X", c.X);
    read("XBreaks", c.XBreaks);
    read("Y", c.Y);
    read("YBreaks", c.YBreaks);
    read("Z", c.Z);
    read("Stat", c.Stat);
    read("MinHits", c.MinHits);
    read("Centre", c.Centre);
    read("Where", c.Where);
    return c;
}

void WriteAnalysisChoices(TLxPersist& store, const TAnalysisChoices& c)
{
    store.WriteString(AnalysisSection, "Overview", JoinCommaText(c.Overview));
    store.WriteString(AnalysisSection, "X", c.X);
    store.WriteString(AnalysisSection, "XBreaks", c.XBreaks);
    store.WriteString(AnalysisSection, "Y", c.Y);
    store.WriteString(AnalysisSection, "YBreaks", c.YBreaks);
    store.WriteString(AnalysisSection, "Z", c.Z);
    store.WriteString(AnalysisSection, "Stat", c.Stat);
    store.WriteString(AnalysisSection, "MinHits", c.MinHits);
    store.WriteString(AnalysisSection, "Centre", c.Centre);
    store.WriteString(AnalysisSection, "Where", c.Where);
}

std::string AnalysisText(const TAnalysisChoices& c)
{
    TLxPersist store;
    WriteAnalysisChoices(store, c);
    std::string text;
    for (const auto& l : store.Lines) text += l + "\r\n";
    return text;
}
