#pragma once
// A ".ald" definition read into its rows without any widget: the one reader
// behind the definition grid and the command-line tools.
#include "definitions/Analysis.h"
#include "definitions/Persist.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TDefinition {
    // Fields of each row as the file holds them (dash form already read):
    // at most one per column, fewer when the row text is shorter.
    std::vector<std::string> Header;
    std::vector<std::vector<std::string>> Words;
    std::string Info; // 13 comma fields

    // Header fields in the order of the header information.
    enum InfoField { Title = 0, Vin, Ecm, PromID, Country, Litres, Inject, Trans, Year,
                     Request, Interval, Echo, Com, InfoFieldCount };
    // One header field with its dash read back empty; empty when missing.
    std::string InfoText(int field) const;

    // What a live run of the window does with the header fields: the request
    // text, the pause in ms (100 when not a number, never negative), the echo
    // tick and the port number (1 when not a number).
    std::string RequestText() const { return InfoText(Request); }
    std::int32_t IntervalMs() const;
    bool EchoOn() const;
    std::int32_t Port() const;
};

// Reads the definition out of a store holding a ".ald" file. False when the
// window refuses the file (too new a version, a count that is not a
// number); `error` then holds the window's message and `def` is unchanged.
bool ReadDefinition(const TLxPersist& store, TDefinition& def, std::string& error);

// Reads the file `name` (never a dialog). False with `error` set when it
// cannot be read or is refused.
// With `analysis`, the Log Analysis page's choices too, when it has any.
bool LoadDefinitionFile(const std::string& name, TDefinition& def, std::string& error,
                        std::optional<TAnalysisChoices>* analysis = nullptr);
