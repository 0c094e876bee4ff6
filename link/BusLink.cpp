#include "link/BusLink.h"

#include "decode/Hex.h"
#include "link/AldlExchange.h"
#include "serilink/serilink.h"

#include <algorithm>
#include <cstring>

namespace {

std::string HexText(const std::uint8_t* b, std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += ByteToHex(b[i]);
    }
    return s;
}

std::vector<std::uint8_t> RequestBytes(const std::string& request)
{
    const std::vector<std::string> items = SplitList(request);
    const std::size_t n = std::min<std::size_t>(items.size(), AldlMaxRequest);
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(HexToByte(items[i]));
    return WithChecksum(std::move(out));
}

bool SumsToZero(const std::uint8_t* b, int n)
{
    unsigned sum = 0;
    for (int i = 0; i < n; ++i) sum += b[i];
    return (sum & 0xFF) == 0;
}

} // namespace

bool HoldsForeignFrame(const std::uint8_t* bytes, int count, std::uint8_t ownId)
{
    for (int i = 0; i + 3 <= count; ++i) {
        if (bytes[i] == ownId || bytes[i] == 0 || bytes[i + 1] < 0x55) continue;
        const int n = bytes[i + 1] - 0x52;
        if (i + n <= count && SumsToZero(bytes + i, n)) return true;
    }
    return false;
}

void TBusLink::Start(bool resetCounts)
{
    burstDue_ = true;
    chatterFailure_ = false;
    if (resetCounts) {
        skipped_ = 0;
        bursts_ = 0;
        notes_.clear();
    }
}

void TBusLink::Note(const std::string& text)
{
    if (notes_.size() < MaxNotes) notes_.push_back(text);
}

std::vector<std::string> TBusLink::TakeNotes()
{
    std::vector<std::string> out;
    out.swap(notes_);
    return out;
}

void TBusLink::Restore() { scTimeOut(t_.Interval, t_.Multiplier, t_.Constant); }

TLiveFrame TBusLink::ReadFrame(const std::vector<std::string>& requests, bool echo, FrameBuffer& frame,
                               std::int64_t startMs, std::uint8_t* header)
{
    if (!Active()) {
        const TLiveFrame f = ReadLiveFrame(requests, echo, frame, startMs, header);
        chatterFailure_ = false;
        // Only looks at what the failed exchange already took off the line.
        if (f.Count < 0 && f.Count != AldlLinkFailed && !requests.empty()) {
            const std::vector<std::uint8_t> req = RequestBytes(requests.back());
            std::vector<std::uint8_t> seen(frame.begin(), frame.begin() + std::max<std::size_t>(req.size(), 3));
            const std::vector<std::uint8_t>& d = AldlDrained();
            seen.insert(seen.end(), d.begin(), d.end());
            chatterFailure_ = HoldsForeignFrame(seen.data(), static_cast<int>(seen.size()), req.empty() ? 0 : req[0]);
        }
        return f;
    }
    if (s_.Renew > 0 && StampClockMs() - lastBurst_ >= s_.Renew) burstDue_ = true;
    if (burstDue_) SendBurst(echo);
    frame.fill(0);
    TLiveFrame f;
    sawForeign_ = false;
    for (const std::string& r : requests) f.Count = Exchange(r, echo, frame.data(), header);
    chatterFailure_ = f.Count < 0 && sawForeign_;
    if (sawForeign_ || (f.Count < 0 && QuietWaitAlone())) burstDue_ = true;
    f.Stamp = static_cast<std::int32_t>(StampClockMs() - startMs);
    return f;
}

int TBusLink::Exchange(const std::string& request, bool echo, std::uint8_t* reply, std::uint8_t* header)
{
    const std::vector<std::uint8_t> req = RequestBytes(request);
    if (s_.SkipForeign) return SkipExchange(req, echo, reply, header);
    const int r = AldlExchange(request, echo, reply, FrameLast, header);
    if (r < 0 && r != AldlLinkFailed) {
        std::vector<std::uint8_t> seen(reply, reply + std::max<std::size_t>(req.size(), 3));
        const std::vector<std::uint8_t>& d = AldlDrained();
        seen.insert(seen.end(), d.begin(), d.end());
        if (HoldsForeignFrame(seen.data(), static_cast<int>(seen.size()), req[0])) sawForeign_ = true;
    }
    return r;
}

int TBusLink::ReadUntil(std::uint8_t* buf, int count, std::int64_t deadline)
{
    int got = 0;
    while (got < count) {
        if (got > 0 && StampClockMs() > deadline) break;
        const int r = scRead(buf + got, static_cast<std::uint32_t>(count - got));
        if (r <= 0) break;
        got += r;
        // a gap longer than the byte interval ends a frame, as for the reply
        if (got < count) break;
    }
    return got;
}

void TBusLink::Drain(std::int64_t deadline)
{
    std::uint8_t b;
    for (int i = 0; i < 256 && StampClockMs() <= deadline && scRead(&b, 1) == 1; ++i) {
    }
}

int TBusLink::SkipExchange(const std::vector<std::uint8_t>& req, bool echo, std::uint8_t* reply,
                           std::uint8_t* header)
{
    const int m = static_cast<int>(req.size());
    if (scWrite(req.data(), static_cast<std::uint32_t>(m)) <= 0) return AldlLinkFailed;
    // However much the others say, the exchange ends within this.
    const std::int64_t deadline = StampClockMs() + t_.Constant + std::int64_t{t_.Multiplier} * (m + 131) + 500;
    bool echoDone = !echo;
    std::memset(reply, 0x3F, 128);
    std::uint8_t buf[256];
    for (int frames = 0; frames <= MaxSkip && StampClockMs() <= deadline; ++frames) {
        const int got2 = ReadUntil(buf, 2, deadline);
        if (got2 < 2) {
            if (got2 > 0) Drain(deadline);
            return echoDone ? AldlNoHeader : AldlNoEcho;
        }
        if (!echoDone && buf[0] == req[0] && buf[1] == req[1]) {
            const int rest = ReadUntil(buf + 2, m - 2, deadline);
            if (std::memcmp(buf + 2, req.data() + 2, static_cast<std::size_t>(rest)) != 0
                || (rest < m - 2 && rest > 0)) {
                Drain(deadline);
                return AldlEchoDiffers;
            }
            echoDone = true; // a short echo is let through, as in a plain exchange
            continue;
        }
        if (!echoDone && buf[0] == req[0]) {
            // our own ID where the echo belongs: the request came back changed
            Drain(deadline);
            return AldlEchoDiffers;
        }
        if (echoDone && buf[0] == req[0]) {
            reply[0] = buf[0];
            reply[1] = buf[1];
            if (ReadUntil(reply + 2, 1, deadline) < 1) return AldlNoHeader;
            if (header) std::memcpy(header, reply, 3);
            const int length = reply[1] - 0x55;
            // below 0x55 too: a negative length would read without end into the reply
            if (length < 0 || length > 127) {
                Drain(deadline);
                return AldlBadLength;
            }
            const int got = scRead(reply, static_cast<std::uint32_t>(length));
            if (length == 0) Drain(deadline);
            return got;
        }
        // Another module's frame, or damage.
        if (buf[1] < 0x55) {
            Drain(deadline);
            return echoDone ? AldlBadLength : AldlEchoDiffers;
        }
        const int n = buf[1] - 0x52;
        const int rest = ReadUntil(buf + 2, n - 2, deadline);
        if (rest < n - 2 || !SumsToZero(buf, n)) {
            // a frame cut or mangled by a collision
            sawForeign_ = true;
            Drain(deadline);
            return echoDone ? AldlNoHeader : AldlEchoDiffers;
        }
        ++skipped_;
        sawForeign_ = true;
        Note("Skipped " + HexText(buf, static_cast<std::size_t>(n)));
    }
    Drain(deadline);
    return echoDone ? AldlNoHeader : AldlNoEcho;
}

bool TBusLink::QuietWaitAlone() const
{
    return s_.QuietWaitSet && s_.QuietWait > 0 && LinkRequests(s_.Silence).empty();
}

bool TBusLink::WaitQuiet()
{
    if (s_.QuietWait <= 0) return true;
    const std::int64_t end = StampClockMs() + s_.QuietTimeout;
    bool quiet = false;
    scTimeOut(0, 0, static_cast<std::uint32_t>(s_.QuietWait));
    while (StampClockMs() < end) {
        std::uint8_t b;
        if (scRead(&b, 1) <= 0) { // silence (or a failing line, which the exchange reports)
            quiet = true;
            break;
        }
    }
    Restore();
    return quiet;
}

void TBusLink::Listen(int ms)
{
    heard_.clear();
    const std::int64_t end = StampClockMs() + ms;
    std::uint8_t buf[256];
    for (std::int64_t left = ms; left > 0; left = end - StampClockMs()) {
        scTimeOut(0, 0, static_cast<std::uint32_t>(left));
        const int n = scRead(buf, sizeof buf);
        if (n <= 0) break;
        if (heard_.size() < 4096) heard_.insert(heard_.end(), buf, buf + n);
    }
    Restore();
}

void TBusLink::SendBurst(bool echo)
{
    burstDue_ = false;
    lastBurst_ = StampClockMs();
    const auto reqs = LinkRequests(s_.Silence);
    if (reqs.empty()) {
        if (QuietWaitAlone() && !WaitQuiet()) Note("No quiet gap in " + std::to_string(s_.QuietTimeout) + " ms");
        return;
    }
    const bool quiet = WaitQuiet();
    const int repeat = std::max(1, s_.SilenceRepeat);
    int sent = 0;
    for (int k = 0; k < repeat; ++k) {
        ++sent;
        for (const auto& r : reqs) {
            const std::vector<std::uint8_t> f = WithChecksum(r);
            scWrite(f.data(), static_cast<std::uint32_t>(f.size()));
        }
        // the echoes and the answers go with the gap; after the last one too
        Listen(std::max(s_.SilenceGap, 1));
        // Repeats are for getting through the talk: once every module has
        // answered (its answer is the request itself), they are not needed.
        bool answered = true;
        for (const auto& r : reqs) {
            const std::vector<std::uint8_t> f = WithChecksum(r);
            int seen = 0;
            for (std::size_t i = 0; i + f.size() <= heard_.size(); ++i)
                if (std::equal(f.begin(), f.end(), heard_.begin() + static_cast<long>(i))) ++seen;
            answered = answered && seen > (echo ? 1 : 0);
        }
        if (answered) break;
    }
    ++bursts_;
    lastBurst_ = StampClockMs();
    for (const auto& r : reqs) {
        const std::vector<std::uint8_t> f = WithChecksum(r);
        Note("Silence " + HexText(f.data(), f.size()) + " x" + std::to_string(sent) + (quiet ? "" : ", no quiet gap"));
    }
}

void TBusLink::Stop()
{
    if (!Active()) return;
    const auto reqs = LinkRequests(s_.Resume);
    for (const auto& r : reqs) {
        const std::vector<std::uint8_t> f = WithChecksum(r);
        scWrite(f.data(), static_cast<std::uint32_t>(f.size()));
        Note("Resume " + HexText(f.data(), f.size()));
    }
    if (!reqs.empty()) Listen(std::max(s_.SilenceGap, 20));
}
