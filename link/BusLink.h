#pragma once
// A live run on a bus that other modules talk on: waits for a quiet gap,
// silences the bus with a burst of requests, skips whole frames of other
// modules where the echo or the reply is expected, and lets the bus talk
// again when the run stops. Shared by the window and the headless logger.
// Without a [LINK] section every frame is read exactly as ReadLiveFrame
// reads it. No Qt; the port must be open while any of this runs.
#include "link/FrameSource.h"
#include "link/LinkSettings.h"

#include <cstdint>
#include <utility>
#include <string>
#include <vector>

class TBusLink {
public:
    // The run's read timeouts (those the port was opened with), put back
    // after every quiet wait, burst or resume.
    struct Timeouts {
        std::uint32_t Interval = 20, Multiplier = 10, Constant = 50;
    };
    // Most foreign frames skipped within one exchange before it gives up.
    static constexpr int MaxSkip = 32;
    // Raw-view notes kept until taken.
    static constexpr std::size_t MaxNotes = 256;

    TBusLink() = default;
    explicit TBusLink(TLinkSettings settings) : s_(std::move(settings)) {}
    TBusLink(TLinkSettings settings, Timeouts timeouts) : s_(std::move(settings)), t_(timeouts) {}

    void SetSettings(const TLinkSettings& settings) { s_ = settings; }
    const TLinkSettings& Settings() const { return s_; }
    bool Active() const { return s_.Present; }

    // A run starts (or its port was opened again): the burst goes out before
    // the next request; `resetCounts` clears the skipped-frame count.
    void Start(bool resetCounts = true);
    // One frame, as ReadLiveFrame reads it, with the bus handled around it.
    TLiveFrame ReadFrame(const std::vector<std::string>& requests, bool echo, FrameBuffer& frame,
                         std::int64_t startMs, std::uint8_t* header = nullptr);
    // The run stops: the resume requests go out once (nothing without them).
    void Stop();

    // Foreign frames skipped since Start.
    std::int64_t Skipped() const { return skipped_; }
    std::int64_t Bursts() const { return bursts_; }
    // The last frame failed, and other modules' frames were on the line then.
    bool ChatterFailure() const { return chatterFailure_; }
    // Lines for the raw view (bursts, skipped frames, resumes), oldest first.
    std::vector<std::string> TakeNotes();

private:
    int Exchange(const std::string& request, bool echo, std::uint8_t* reply, std::uint8_t* header);
    int SkipExchange(const std::vector<std::uint8_t>& req, bool echo, std::uint8_t* reply,
                     std::uint8_t* header);
    void SendBurst(bool echo);
    bool WaitQuiet();
    // Nothing silences the bus, yet the section asks for the quiet wait.
    bool QuietWaitAlone() const;
    // Reads for `ms`; what came in is kept in heard_.
    void Listen(int ms);
    std::vector<std::uint8_t> heard_;
    void Drain(std::int64_t deadline);
    int ReadUntil(std::uint8_t* buf, int count, std::int64_t deadline);
    void Restore();
    void Note(const std::string& text);

    TLinkSettings s_;
    Timeouts t_;
    bool burstDue_ = true;
    std::int64_t lastBurst_ = 0;
    std::int64_t skipped_ = 0;
    std::int64_t bursts_ = 0;
    bool chatterFailure_ = false;
    bool sawForeign_ = false;
    std::vector<std::string> notes_;
};

// True when `bytes` hold a whole frame (length byte, checksum adding up)
// whose ID is not `ownId`: another module's frame.
bool HoldsForeignFrame(const std::uint8_t* bytes, int count, std::uint8_t ownId);
