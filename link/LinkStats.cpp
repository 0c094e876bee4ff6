#include "link/LinkStats.h"

#include <algorithm>

bool ReplyChecksumOk(const std::uint8_t* header, const std::uint8_t* body, int count)
{
    unsigned sum = 0;
    for (int i = 0; i < 3; ++i) sum += header[i];
    for (int i = 0; i < count; ++i) sum += body[i];
    return (sum & 0xFF) == 0;
}

const char* LinkHintText(LinkHint hint)
{
    switch (hint) {
    case LinkHint::TryWithoutEcho: return "No echo came back: the cable may not echo, try without Echo.";
    case LinkHint::TryWithEcho: return "The reply looks like an echo: the cable may echo, try with Echo.";
    case LinkHint::CheckPort: return "No reply: check the COM port, the ignition and the cable.";
    case LinkHint::Chatter:
        return "Other modules talk on the line: give the definition link settings that silence them (Aldl > Check Cable and Car).";
    case LinkHint::None: break;
    }
    return "";
}

namespace {

// Which hint a failure points to, on its own.
LinkHint HintOf(int result, bool echo)
{
    if (result == -3 && echo) return LinkHint::TryWithoutEcho;
    if ((result == -2 || result == -5) && !echo) return LinkHint::TryWithEcho;
    if (result == -4) return LinkHint::CheckPort;
    return LinkHint::None;
}

constexpr std::int64_t HintWindowMs = 60000;
constexpr int HintAfter = 3;

} // namespace

void TLinkStats::Start(std::int64_t nowMs)
{
    *this = TLinkStats{};
    start_ = nowMs;
    slotIndex_ = nowMs / SlotMs;
}

void TLinkStats::Advance(std::int64_t nowMs)
{
    const std::int64_t index = nowMs / SlotMs;
    if (index <= slotIndex_) return;
    const std::int64_t steps = index - slotIndex_;
    for (std::int64_t i = 1; i <= steps && i <= Slots; ++i) slots_[(slotIndex_ + i) % Slots] = 0;
    slotIndex_ = index;
}

void TLinkStats::Frame(int result, bool echo, std::int64_t nowMs, bool chatter)
{
    Advance(nowMs);
    if (result >= 0) {
        ++good_;
        ++slots_[slotIndex_ % Slots];
        if (hint_ != LinkHint::Chatter) hint_ = LinkHint::None;
        hintDone_ = true;
        return;
    }
    ++failed_;
    if (result >= -Kinds) ++kinds_[-result - 1];
    // Chatter explains a failure better than any echo setting, and stays
    // worth saying after good frames: it fails a run now and then.
    if (chatter) {
        if (++chatterFailures_ >= HintAfter && nowMs - start_ <= HintWindowMs) {
            hint_ = LinkHint::Chatter;
            hintDone_ = true;
        }
        return;
    }
    if (hintDone_) return;
    const LinkHint h = HintOf(result, echo);
    if (failed_ == 1) candidate_ = h;
    if (h != candidate_ || h == LinkHint::None) {
        // Mixed failures tell nothing certain.
        candidate_ = LinkHint::None;
        if (hint_ == LinkHint::None) hintDone_ = true;
        return;
    }
    ++sameFailures_;
    if (hint_ == LinkHint::None && sameFailures_ >= HintAfter && nowMs - start_ <= HintWindowMs) hint_ = h;
}

void TLinkStats::BadChecksum(std::int32_t stamp)
{
    ++badSums_;
    lastBadStamp_ = stamp;
}

double TLinkStats::Rate(std::int64_t nowMs) const
{
    const std::int64_t index = nowMs / SlotMs;
    std::int64_t sum = 0;
    for (int i = 0; i < Slots; ++i) {
        const std::int64_t abs = slotIndex_ - i;
        if (abs >= 0 && abs > index - Slots && abs <= index) sum += slots_[abs % Slots];
    }
    const std::int64_t span = std::min<std::int64_t>(Slots * SlotMs, nowMs - start_);
    if (span <= 0) return 0.0;
    return static_cast<double>(sum) * 1000.0 / static_cast<double>(std::max<std::int64_t>(span, SlotMs));
}

std::int64_t TLinkStats::FailedOf(int result) const
{
    return result <= -1 && result >= -Kinds ? kinds_[-result - 1] : 0;
}
