#pragma once
// A headless reading run: one definition's requests on one serial port, the
// frames read as the window reads them (the bus handled around them), and a
// lost link waited for and taken up again as the window does. The caller
// keeps the frames, the files and the messages. No Qt.
#include "link/BusLink.h"
#include "link/LinkKeeper.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TReadCounts {
    std::int64_t Good = 0;     // frames read (a reply with a bad checksum among them)
    std::int64_t Failed[5] = {}; // failed exchanges by result -1 .. -5
    std::int64_t BadSums = 0;  // good frames whose checksum did not hold
    double Rate = 0;           // good frames a second, over the last second
};

// What the loop asks of its caller.
struct TReadHooks {
    // Before each turn; false ends the run (e.g. a new log could not be made).
    std::function<bool(std::int64_t nowMs)> Turn;
    // Every frame read (Count >= 0), in `frame`.
    std::function<void(const TLiveFrame& read, const FrameBuffer& frame)> Frame;
    // The link was lost (Waiting() says why), or is back.
    std::function<void(bool back)> Link;
    // Once a second, after Counts().Rate is new.
    std::function<void(std::int64_t nowMs)> Second;
    // Waits up to `ms` (0: only looks); true when the run is to stop.
    std::function<bool(std::int64_t ms)> Pause;
};

class TReadLoop {
public:
    TReadLoop(TBusLink& bus, std::int32_t port, std::vector<std::string> requests, bool echo, std::int32_t intervalMs);
    // Frees a port still held (without the bus's resume requests).
    ~TReadLoop();
    TReadLoop(const TReadLoop&) = delete;
    TReadLoop& operator=(const TReadLoop&) = delete;

    // Opens the port; stamps count from now. False when another program
    // holds it (a mistake to report, with `error`); any other failure leaves
    // the run waiting for the port, as after a lost link.
    bool Begin(std::string& error);
    // Reads until a hook stops it or `frames` frames are read (0: no end).
    // False when the Turn hook ended it.
    bool Run(std::int64_t frames, const TReadHooks& hooks);
    // The run is over: the bus may talk again and the port is freed.
    void End();

    // Whether the port was open (at the end: when the run ended).
    bool PortOpen() const { return portOpen_; }
    std::string PortName() const { return "COM" + std::to_string(port_); }
    // "waiting for COMn: why", while the port is not open.
    const std::string& Waiting() const { return waiting_; }
    const TReadCounts& Counts() const { return counts_; }
    std::int64_t StartMs() const { return startMs_; }

private:
    void Exchange(const TReadHooks& hooks);
    void TryOpen(const TReadHooks& hooks);

    TBusLink& bus_;
    LinkKeeper keeper_;
    std::int32_t port_;
    std::vector<std::string> requests_;
    bool echo_;
    std::int32_t intervalMs_;
    bool portOpen_ = false;
    bool ended_ = false;
    std::string waiting_;
    TReadCounts counts_;
    std::int64_t startMs_ = 0;
    std::int64_t now_ = 0;
    std::int64_t lastSecond_ = 0;
    std::int64_t goodAtSecond_ = 0;
    FrameBuffer frame_{};
};

// Opens `port` as the window does (8192 baud, the window's read timeouts).
// On failure the port is released and `error` holds the library's text.
bool OpenAldlPort(std::int32_t port, std::string& error);
