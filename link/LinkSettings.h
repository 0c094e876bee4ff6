#pragma once
// The definition's link settings: how a run copes with a bus that other
// modules talk on. They live in the definition's own [LINK] section; a file
// without it runs exactly as before, and a build that does not know the
// section keeps it untouched on Save.
#include <cstdint>
#include <string>
#include <vector>

class TLxPersist;

struct TLinkSettings {
    static constexpr int DefaultRepeat = 3;
    static constexpr int DefaultGap = 75;
    static constexpr int DefaultQuietWait = 50;
    static constexpr int DefaultQuietTimeout = 1000;

    bool Present = false;          // the file has a [LINK] section
    std::string Silence;           // request(s) that silence the bus, without checksums
    int SilenceRepeat = DefaultRepeat;
    int SilenceGap = DefaultGap;   // ms between repeats
    int QuietWait = DefaultQuietWait;       // ms of silence wanted before a burst; 0: none
    // The section names QuietWait itself. Only then does a bus that nothing
    // silences get the quiet wait too, before a run's first request and after
    // a request that got no answer (an ECM that listens only in a short pause
    // after its own talk).
    bool QuietWaitSet = false;
    int QuietTimeout = DefaultQuietTimeout; // send anyway after this long
    int Renew = 0;                 // ms between bursts during a run; 0: only when needed
    bool SkipForeign = false;      // Foreign=skip (else fail)
    std::string Resume;            // request(s) sent once when a run stops

    bool operator==(const TLinkSettings&) const = default;
};

// The section's name in the keyed store.
extern const char* const LinkSection; // "[LINK]"

// Bad or missing values take their defaults, as other definition cells do.
TLinkSettings ReadLinkSettings(const TLxPersist& store);
// Writes every key of the section (and creates it); with Present false the
// section's keys are removed instead, so a file that had none stays as it was.
void WriteLinkSettings(TLxPersist& store, const TLinkSettings& s);

// A request list of the link settings: requests separated by commas, each
// hex bytes separated by blanks ("F1 56 08, F5 56 08"). Items that are not
// all hex bytes (1..2 digits, at most 127 of them) are left out.
std::vector<std::vector<std::uint8_t>> LinkRequests(const std::string& text);
// The bytes of one request with its checksum added.
std::vector<std::uint8_t> WithChecksum(std::vector<std::uint8_t> bytes);

// The link settings of the definition file `name`; defaults (no section)
// when it cannot be read.
TLinkSettings LoadLinkSettings(const std::string& name);
