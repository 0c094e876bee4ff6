#include "link/ReadLoop.h"

#include "link/AldlExchange.h"
#include "link/LinkStats.h"
#include "serilink/serilink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

} // namespace

bool OpenAldlPort(std::int32_t port, std::string& error)
{
    if (scInit(port, "baud=8192 parity=N data=8 stop=1") >= 0 && scTimeOut(20, 10, 50) >= 0) return true;
    error = Trimmed(scErrText());
    scDone();
    return false;
}

TReadLoop::TReadLoop(TBusLink& bus, std::int32_t port, std::vector<std::string> requests, bool echo,
                     std::int32_t intervalMs)
    : bus_(bus), port_(port), requests_(std::move(requests)), echo_(echo), intervalMs_(intervalMs)
{
}

TReadLoop::~TReadLoop()
{
    if (portOpen_ && !ended_) scDone();
}

bool TReadLoop::Begin(std::string& error)
{
    now_ = startMs_ = lastSecond_ = StampClockMs();
    portOpen_ = OpenAldlPort(port_, error);
    if (portOpen_) return true;
    // Another program holds the port: that is a mistake to report, not a link to wait for.
    if (error.find(std::strerror(EBUSY)) != std::string::npos) return false;
    keeper_.Exchanged(AldlLinkFailed, SC_ERR_NOT_INIT, "", now_, now_);
    waiting_ = "waiting for " + PortName() + ": " + error;
    return true;
}

void TReadLoop::Exchange(const TReadHooks& hooks)
{
    const std::int64_t t0 = StampClockMs();
    std::uint8_t header[3] = {};
    const std::int32_t mark = LinkKeeper::MarkSerialError();
    const TLiveFrame f = bus_.ReadFrame(requests_, echo_, frame_, startMs_, header);
    const std::int32_t code = LinkKeeper::SerialErrorSince(mark);
    bus_.TakeNotes();
    now_ = StampClockMs();
    if (f.Count >= 0) {
        // Kept all the same, as the window logs it; only counted.
        if (f.Count > 0 && !ReplyChecksumOk(header, frame_.data(), f.Count)) ++counts_.BadSums;
        if (hooks.Frame) hooks.Frame(f, frame_);
        ++counts_.Good;
    } else if (f.Count >= -5) {
        ++counts_.Failed[-f.Count - 1];
    }
    if (keeper_.Exchanged(f.Count, code, scErrText(), t0, now_)) {
        scDone();
        portOpen_ = false;
        waiting_ = "waiting for " + PortName() + ": " + Trimmed(scErrText());
        if (hooks.Link) hooks.Link(false);
    }
}

void TReadLoop::TryOpen(const TReadHooks& hooks)
{
    std::string error;
    const bool ok = OpenAldlPort(port_, error);
    now_ = StampClockMs();
    if (keeper_.Opened(ok, now_)) {
        portOpen_ = true;
        bus_.Start(false);
        if (hooks.Link) hooks.Link(true);
    } else {
        waiting_ = "waiting for " + PortName() + ": " + error;
    }
}

bool TReadLoop::Run(std::int64_t frames, const TReadHooks& hooks)
{
    auto pause = [&hooks](std::int64_t ms) { return hooks.Pause && hooks.Pause(ms); };
    bool stop = false;
    while (!stop && (frames == 0 || counts_.Good < frames)) {
        now_ = StampClockMs();
        if (hooks.Turn && !hooks.Turn(now_)) return false;
        if (portOpen_) Exchange(hooks);
        else if (keeper_.TimeToTry(now_)) TryOpen(hooks);
        if (now_ - lastSecond_ >= 1000) {
            counts_.Rate = static_cast<double>(counts_.Good - goodAtSecond_) * 1000.0 /
                           static_cast<double>(now_ - lastSecond_);
            goodAtSecond_ = counts_.Good;
            lastSecond_ = now_;
            if (hooks.Second) hooks.Second(now_);
        }
        if (frames > 0 && counts_.Good >= frames) break;
        // The window's interval between requests; while the link is lost,
        // the keeper's pace of reopen tries. Slices keep the reports on time.
        std::int64_t wait = std::max<std::int64_t>(portOpen_ ? intervalMs_ : 0, keeper_.WaitMs(now_));
        if (wait == 0) {
            stop = pause(0);
            continue;
        }
        while (wait > 0 && !stop) {
            const std::int64_t slice = std::min<std::int64_t>(wait, 200);
            stop = pause(slice);
            wait -= slice;
        }
    }
    return true;
}

void TReadLoop::End()
{
    if (ended_) return;
    ended_ = true;
    if (portOpen_) {
        bus_.Stop();
        scDone();
    }
    // A run shorter than a second: its rate over the whole run.
    const std::int64_t now = StampClockMs();
    if (lastSecond_ == startMs_ && now > startMs_)
        counts_.Rate = static_cast<double>(counts_.Good) * 1000.0 / static_cast<double>(now - startMs_);
}
