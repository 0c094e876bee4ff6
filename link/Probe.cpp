#include "link/Probe.h"

#include "decode/Hex.h"
#include "definitions/Persist.h"
#include "link/BusLink.h"
#include "link/FrameSource.h"
#include "link/LinkStats.h"
#include "serilink/serilink.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::uint32_t RunInterval = 20, RunMultiplier = 10, RunConstant = 50;
const std::uint8_t kEcmIds[] = {0xF4, 0xF5, 0xF7};
// A frame no module answers, to see whether the cable gives it back.
const std::vector<std::uint8_t> kHarmless = {0xFF, 0x55, 0xAC};

std::string Hex(const std::vector<std::uint8_t>& b)
{
    std::string s;
    for (std::size_t i = 0; i < b.size(); ++i) s += (i ? " " : "") + ByteToHex(b[i]);
    return s;
}

struct Heard {
    std::vector<std::uint8_t> bytes;
    std::int64_t startMs = 0, endMs = 0;
};

// Bytes with their arrival times, cut into frames by the length byte and
// the checksum; a byte that starts no good frame is passed over.
class Splitter {
public:
    void Add(std::uint8_t b, std::int64_t t)
    {
        // A frame comes byte after byte: after a pause, bytes still waiting
        // for more start no frame (listening from the middle of one, a data
        // byte taken for a length could wait for 170 bytes), though a frame
        // may end among them.
        if (!times_.empty() && t - times_.back() > kPauseMs) Settle(true);
        buf_.push_back(b);
        times_.push_back(t);
        Settle(false);
    }
    std::vector<Heard> Frames;

private:
    static constexpr std::int64_t kPauseMs = 20;
    void Settle(bool pause)
    {
        for (;;) {
            if (buf_.size() >= 2 && buf_[1] < 0x55) {
                Drop(1);
                continue;
            }
            if (buf_.size() < 2) {
                if (pause) Drop(buf_.size());
                return;
            }
            const std::size_t n = buf_[1] - 0x52u;
            if (buf_.size() < n) {
                if (!pause) return;
                Drop(1);
                continue;
            }
            unsigned sum = 0;
            for (std::size_t i = 0; i < n; ++i) sum += buf_[i];
            if ((sum & 0xFF) != 0) {
                Drop(1);
                continue;
            }
            Frames.push_back({std::vector<std::uint8_t>(buf_.begin(), buf_.begin() + static_cast<long>(n)), times_[0], times_[n - 1]});
            Drop(n);
        }
    }
    void Drop(std::size_t n)
    {
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<long>(n));
        times_.erase(times_.begin(), times_.begin() + static_cast<long>(n));
    }
    std::vector<std::uint8_t> buf_;
    std::vector<std::int64_t> times_;
};

// Reads for `ms`, byte by byte with their times.
void Hear(int ms, Splitter& s, std::int64_t& count, const TProbeHooks& h)
{
    const std::int64_t end = StampClockMs() + ms;
    for (std::int64_t left = ms; left > 0; left = end - StampClockMs()) {
        if (h.Cancelled && h.Cancelled()) break;
        scTimeOut(0, 0, static_cast<std::uint32_t>(std::min<std::int64_t>(left, 100)));
        std::uint8_t b;
        if (scRead(&b, 1) == 1) {
            ++count;
            s.Add(b, StampClockMs());
        }
    }
    scTimeOut(RunInterval, RunMultiplier, RunConstant);
}

// Waits for `quietMs` of silence (at most `timeoutMs`); true when found.
bool WaitQuiet(int quietMs, int timeoutMs)
{
    const std::int64_t end = StampClockMs() + timeoutMs;
    bool quiet = false;
    scTimeOut(0, 0, static_cast<std::uint32_t>(quietMs));
    while (StampClockMs() < end) {
        std::uint8_t b;
        if (scRead(&b, 1) <= 0) {
            quiet = true;
            break;
        }
    }
    scTimeOut(RunInterval, RunMultiplier, RunConstant);
    return quiet;
}

int Occurrences(const std::vector<Heard>& frames, const std::vector<std::uint8_t>& f)
{
    return static_cast<int>(std::count_if(frames.begin(), frames.end(), [&](const Heard& h) { return h.bytes == f; }));
}

void Say(const TProbeHooks& h, const std::string& text)
{
    if (h.Progress) h.Progress(text);
}

} // namespace

TProbeReport RunProbe(int listenMs, const TProbeHooks& hooks)
{
    TProbeReport r;
    r.ListenMs = listenMs;
    auto cancelled = [&] { return hooks.Cancelled && hooks.Cancelled(); };

    // 1. listen
    Say(hooks, "Listening to the line");
    Splitter heard;
    Hear(listenMs, heard, r.Bytes, hooks);
    const auto& fr = heard.Frames;
    for (const Heard& f : fr) ++r.Frames[{f.bytes[0], static_cast<int>(f.bytes.size())}];
    r.Chatter = !fr.empty() || r.Bytes > 0;
    if (fr.size() >= 2) {
        std::int64_t longest = 0;
        for (std::size_t i = 0; i + 1 < fr.size(); ++i) longest = std::max(longest, fr[i + 1].startMs - fr[i].endMs);
        // by ID and length, as a frame's data may change from one cycle to the next
        std::map<std::pair<int, int>, std::vector<std::size_t>> before;
        for (std::size_t i = 0; i + 1 < fr.size(); ++i) {
            const std::int64_t gap = fr[i + 1].startMs - fr[i].endMs;
            if (gap * 10 >= longest * 7) before[{fr[i].bytes[0], static_cast<int>(fr[i].bytes.size())}].push_back(i);
        }
        std::size_t best = 0;
        for (const auto& [key, at] : before)
            if (at.size() > best) {
                best = at.size();
                std::int64_t sum = 0;
                for (std::size_t i : at) sum += fr[i + 1].startMs - fr[i].endMs;
                r.GapMs = static_cast<int>(sum / static_cast<std::int64_t>(at.size()));
                r.Heartbeat = fr[at.back()].bytes;
            }
    }
    // Frames must be sent where the others are quiet.
    const int quietMs = r.GapMs > 0 ? std::clamp(r.GapMs / 3, 5, 50) : 20;

    // 2. echo
    for (int attempt = 0; attempt < 2 && !r.Echo && !cancelled(); ++attempt) {
        Say(hooks, "Testing the cable's echo");
        WaitQuiet(quietMs, 1000);
        scWrite(kHarmless.data(), static_cast<std::uint32_t>(kHarmless.size()));
        Splitter s;
        std::int64_t n = 0;
        Hear(120, s, n, hooks);
        r.Echo = Occurrences(s.Frames, kHarmless) > 0;
    }

    // 3. silence
    std::vector<std::uint8_t> asked; // every ID asked to be quiet
    if (r.Chatter && !cancelled()) {
        std::vector<std::uint8_t> ids;
        if (!r.Heartbeat.empty() && r.Heartbeat[0] == 0x08) ids.push_back(0xF1);
        else ids.assign(std::begin(kEcmIds), std::end(kEcmIds));
        for (std::uint8_t id : ids) {
            if (cancelled()) break;
            Say(hooks, "Asking " + ByteToHex(id) + " to be quiet");
            const std::vector<std::uint8_t> quiet = WithChecksum({id, 0x56, 0x08});
            asked.push_back(id);
            int answers = 0;
            for (int k = 0; k < 3 && !cancelled(); ++k) {
                WaitQuiet(quietMs, 1000);
                scWrite(quiet.data(), static_cast<std::uint32_t>(quiet.size()));
                Splitter s;
                std::int64_t n = 0;
                Hear(TLinkSettings::DefaultGap, s, n, hooks);
                answers += Occurrences(s.Frames, quiet) - (r.Echo ? 1 : 0);
            }
            if (answers > 0) {
                r.SilencedBy = id;
                break;
            }
        }
    }

    // 4. the ECMs
    TLinkSettings skip;
    skip.Present = true;
    skip.SkipForeign = true;
    skip.QuietWait = 0;
    TBusLink bus(skip, {RunInterval, RunMultiplier, RunConstant});
    for (std::uint8_t id : kEcmIds) {
        if (cancelled()) break;
        Say(hooks, "Asking " + ByteToHex(id) + " for its data");
        TProbeAnswer a;
        a.Id = id;
        if (r.Chatter) WaitQuiet(quietMs, 500);
        FrameBuffer frame{};
        std::uint8_t header[3] = {};
        const TLiveFrame f = bus.ReadFrame({ByteToHex(id) + " 57 01 00"}, r.Echo, frame, 0, header);
        if (f.Count > 0 && header[0] == id && header[2] == 0x01) {
            a.Reply = f.Count - 1;
            a.ChecksumOk = ReplyChecksumOk(header, frame.data(), f.Count);
            if (r.EcmId < 0) {
                r.EcmId = id;
                r.Reply = a.Reply;
            }
        }
        r.Answers.push_back(a);
    }

    // Never leave the bus silenced; a probe stopped early may not have heard
    // the answer of a module it asked, so all of them are let talk again.
    if (r.SilencedBy >= 0 || (cancelled() && !asked.empty())) {
        if (r.SilencedBy >= 0) asked.assign(1, static_cast<std::uint8_t>(r.SilencedBy));
        for (std::uint8_t id : asked) {
            WaitQuiet(quietMs, 500); // an answer still on the line would take it down
            const std::vector<std::uint8_t> resume = WithChecksum({id, 0x56, 0x09});
            scWrite(resume.data(), static_cast<std::uint32_t>(resume.size()));
        }
        Splitter s;
        std::int64_t n = 0;
        Hear(TLinkSettings::DefaultGap, s, n, {});
        r.Resumed = true;
    }
    scTimeOut(RunInterval, RunMultiplier, RunConstant);
    return r;
}

std::string TProbeReport::Summary() const
{
    auto yn = [](bool b) { return b ? "yes" : "no"; };
    std::string s = std::string("probe: echo=") + yn(Echo) + " chatter=" + yn(Chatter);
    s += " heartbeat=" + (Heartbeat.empty() ? std::string("none") : Hex(Heartbeat));
    s += " gap=" + (GapMs < 0 || Heartbeat.empty() ? std::string("none") : std::to_string(GapMs));
    s += " ecm=" + (EcmId < 0 ? std::string("none") : ByteToHex(EcmId));
    s += " reply=" + (Reply < 0 ? std::string("none") : std::to_string(Reply));
    return s;
}

std::string TProbeReport::Text() const
{
    std::string t;
    char line[160];
    std::snprintf(line, sizeof line, "Listened %d ms: %lld bytes, %zu kinds of frame.\n", ListenMs,
                  static_cast<long long>(Bytes), Frames.size());
    t += line;
    for (const auto& [key, count] : Frames) {
        std::snprintf(line, sizeof line, "  ID %s, %d bytes: %d times\n", ByteToHex(key.first).c_str(), key.second, count);
        t += line;
    }
    if (!Heartbeat.empty())
        t += "Heartbeat " + Hex(Heartbeat) + ", then " + std::to_string(GapMs) + " ms of silence.\n";
    else if (Chatter)
        t += "No frame is regularly followed by silence.\n";
    t += std::string("Cable echo: ") + (Echo ? "the cable gives back what is sent.\n" : "none came back.\n");
    if (Chatter)
        t += SilencedBy >= 0 ? "Silenced by mode 8 to " + ByteToHex(SilencedBy) + (Resumed ? "; let talk again.\n" : ".\n")
                             : std::string("No module answered the request to be quiet.\n");
    for (const TProbeAnswer& a : Answers) {
        t += "ECM " + ByteToHex(a.Id) + ": ";
        if (a.Reply < 0) t += "no answer.\n";
        else t += std::to_string(a.Reply) + " data bytes, checksum " + (a.ChecksumOk ? "adds up.\n" : "does not add up.\n");
    }
    t += Summary() + "\n";
    return t;
}

TLinkSettings TProbeReport::Link() const
{
    TLinkSettings s;
    if (!Chatter) return s;
    s.Present = true;
    s.SkipForeign = true;
    s.QuietWaitSet = true;
    if (SilencedBy >= 0) {
        s.Silence = ByteToHex(SilencedBy) + " 56 08";
        s.Resume = ByteToHex(SilencedBy) + " 56 09";
    }
    if (GapMs > 0) s.QuietWait = std::clamp(GapMs / 3, 5, TLinkSettings::DefaultQuietWait);
    return s;
}

std::string ProbeRequestText(const std::string& request, int ecmId)
{
    const std::string req = request.empty() ? "F4 57 01 00" : request;
    std::string out;
    std::size_t from = 0;
    while (from <= req.size()) {
        std::size_t comma = req.find(',', from);
        if (comma == std::string::npos) comma = req.size();
        std::string item = req.substr(from, comma - from);
        const std::size_t a = item.find_first_not_of(' ');
        if (a != std::string::npos) {
            const std::size_t b = item.find(' ', a);
            item = item.substr(0, a) + ByteToHex(ecmId) + (b == std::string::npos ? "" : item.substr(b));
        }
        out += (from ? "," : "") + item;
        from = comma + 1;
    }
    return out;
}

void ApplyProbe(const TProbeReport& report, TLxPersist& store)
{
    std::vector<std::string> f = SplitList(store.ReadString("[ALDL]", "Info", "-,-,-,-,-,-,-,-,-,-,-,-,-"));
    while (f.size() < 13) f.emplace_back("-");
    f[11] = report.Echo ? "Y" : "-";
    if (report.EcmId >= 0) {
        f[9] = EmptyToDash(ProbeRequestText(DashToEmpty(f[9]), report.EcmId));
    }
    store.WriteString("[ALDL]", "Info", JoinCommaText(f));
    const TLinkSettings link = report.Link();
    if (link.Present) WriteLinkSettings(store, link);
}
