#pragma once
// What is on the line: listens to the bus, tests the cable's echo, tries to
// silence other modules and asks the usual ECM IDs for their data stream.
// Shared by diduvuve-probe and the window's cable check. No Qt; the port
// must be open (with the run's timeouts) while it runs.
#include "link/LinkSettings.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct TProbeAnswer {
    std::uint8_t Id = 0;
    int Reply = -1;          // data bytes after the mode byte, -1: no answer
    bool ChecksumOk = false;
};

struct TProbeReport {
    int ListenMs = 0;
    std::int64_t Bytes = 0;                          // bytes heard while listening
    std::map<std::pair<int, int>, int> Frames;       // (ID, frame length) -> count
    std::vector<std::uint8_t> Heartbeat;             // empty: none
    int GapMs = -1;                                  // silence after the heartbeat; -1 none
    bool Echo = false;
    bool Chatter = false;
    int SilencedBy = -1;                             // ID whose mode 8 was answered; -1 none
    std::vector<TProbeAnswer> Answers;               // F4, F5, F7 in turn
    int EcmId = -1;                                  // the first that answered
    int Reply = -1;
    bool Resumed = false;

    // The readable report, its last line the summary below.
    std::string Text() const;
    // "probe: echo=yes chatter=no heartbeat=none gap=none ecm=F4 reply=56"
    std::string Summary() const;
    // The link settings these findings call for (Present only with chatter).
    TLinkSettings Link() const;
};

struct TProbeHooks {
    std::function<bool()> Cancelled;                   // checked between steps
    std::function<void(const std::string&)> Progress; // a short text per step
};

// Runs the four steps; whatever happens, a bus it silenced is let talk again
// before it returns.
TProbeReport RunProbe(int listenMs, const TProbeHooks& hooks = {});

// The request field with every request's first byte (its ID) set to `ecmId`.
std::string ProbeRequestText(const std::string& request, int ecmId);

// Applies the findings to a definition's store: the echo flag and the
// request's ID in [ALDL] Info, and (with chatter) the [LINK] section;
// everything else is kept.
void ApplyProbe(const TProbeReport& report, class TLxPersist& store);
