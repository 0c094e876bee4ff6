#include "tools/ecmsim/Chatter.h"

#include "tools/ecmsim/Protocol.h"

namespace {

constexpr std::int64_t Ms = 1000000;

std::vector<std::uint8_t> Framed(std::vector<std::uint8_t> b)
{
    b.push_back(ChecksumOf(b.data(), b.size()));
    return b;
}

} // namespace

bool Chatter::ParseKind(const std::string& text, Kind& out)
{
    if (text == "vt") out = Kind::Vt;
    else if (text == "vs") out = Kind::Vs;
    else if (text == "lt1") out = Kind::Lt1;
    else if (text == "none") out = Kind::None;
    else return false;
    return true;
}

Chatter::Chatter(Kind kind, double quietMs, std::uint8_t ecmId)
    : kind_(kind), quietNs_(static_cast<std::int64_t>(quietMs * Ms)), ecmId_(ecmId)
{
}

std::uint8_t Chatter::Master() const { return kind_ == Kind::Vt ? 0xF1 : ecmId_; }

std::vector<Chatter::Frame> Chatter::Cycle()
{
    const std::uint8_t t = static_cast<std::uint8_t>(tick_++);
    std::vector<Frame> f;
    switch (kind_) {
    case Kind::Vt: {
        const std::int64_t g = 3 * Ms; // between the frames of a burst
        std::vector<std::uint8_t> broadcast = {0x41, 0x63};
        for (int i = 0; i < 14; ++i) broadcast.push_back(static_cast<std::uint8_t>(i == 3 ? t : 0));
        f.push_back({Framed({0x40, 0x58, 0xFF, 0xFF, 0xFF}), 0});
        f.push_back({Framed(broadcast), g});
        f.push_back({{0xA8, 0x55, 0x03}, g});
        f.push_back({{0x20, 0x55, 0x8B}, g});
        f.push_back({Framed({0x21, 0x58, 0x00, t, 0x00}), g});
        f.push_back({{0xD8, 0x55, 0xD3}, g});
        f.push_back({{0x90, 0x55, 0x1B}, g});
        f.push_back({Framed({0x91, 0x58, 0x00, 0x00, 0x00}), g});
        f.push_back({{0xA0, 0x55, 0x0B}, g});
        f.push_back({Framed({0xA1, 0x57, 0x08, 0x00}), g});
        f.push_back({Framed({0x11, 0x5C, 0xFF, 0x01, 0x44, 0x00, 0x00, 0x00, 0x00}), g});
        f.push_back({Framed({0x40, 0x58, 0xFF, 0xFF, 0xFF}), g});
        f.push_back({Framed(broadcast), g});
        f.push_back({{0x08, 0x55, 0xA3}, g}); // the heartbeat: silence follows
        break;
    }
    case Kind::Vs: f.push_back({{0xF1, 0x58, 0x4A, 0x57, 0x42, 0xD4}, 0}); break;
    case Kind::Lt1:
        f.push_back({Framed({0xF0, 0x56, ecmId_}), 0});
        f.push_back({Framed({0x0A, 0x58, 0x00, 0x1C, t}), 2 * Ms});
        break;
    case Kind::None: break;
    }
    return f;
}

std::vector<Chatter::Frame> Chatter::Due(std::int64_t nowNs)
{
    if (!On()) return {};
    if (next_ < 0) next_ = nowNs + 20 * Ms;
    if (quietUntil_ >= 0) {
        if (nowNs < quietUntil_) return {};
        quietUntil_ = -1;
        next_ = nowNs;
    }
    if (nowNs < next_) return {};
    const std::int64_t period = kind_ == Kind::Vt ? 300 * Ms : 100 * Ms;
    while (next_ <= nowNs) next_ += period; // a late turn skips, never floods
    return Cycle();
}

std::int64_t Chatter::NextDueNs(std::int64_t nowNs) const
{
    if (!On()) return -1;
    const std::int64_t at = quietUntil_ >= 0 ? quietUntil_ : next_ < 0 ? nowNs : next_;
    return at > nowNs ? at - nowNs : 0;
}

bool Chatter::Heard(const std::vector<std::uint8_t>& frame, std::int64_t nowNs, std::vector<std::uint8_t>& answer)
{
    if (!On() || frame.size() != 4 || frame[0] != Master() || frame[1] != 0x56) return false;
    if (frame[2] == 0x08) quietUntil_ = nowNs + quietNs_;
    else if (frame[2] == 0x09) quietUntil_ = nowNs; // talks again at once
    else return false;
    // the body module answers for itself; the ECM's own answer is the usual one
    if (kind_ != Kind::Vt) return false;
    answer = frame;
    return true;
}
