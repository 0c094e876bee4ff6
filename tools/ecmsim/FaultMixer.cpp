#include "tools/ecmsim/FaultMixer.h"

#include "tools/ecmsim/Protocol.h"

namespace {

constexpr const char* FaultNames[] = {"good", "no-echo", "short-echo", "wrong-echo", "drop", "short", "length", "garbage"};

} // namespace

FaultMixer::FaultMixer(const Options& o)
    : o_(o), noise_(o.seed ^ 0xA5A5A5A5u), mixState_(o.seed * 2654435761u + 12345u)
{
}

void FaultMixer::RequestStarts()
{
    if (!Mixed()) return;
    fault_ = Fault::None;
    if (o_.mixPercent <= 0 || Draw(100) >= static_cast<std::uint32_t>(o_.mixPercent))
        return;
    fault_ = static_cast<Fault>(1 + Draw(7));
    switch (fault_) {
    case Fault::ShortEcho: faultArg_ = static_cast<int>(Draw(4)) + 1; break; // 1..4 of 5
    // at least one body byte: a reply cut right after its header holds the
    // reader for its whole body timeout (10 ms a byte plus 50 ms), which is
    // tried on its own with --short 0
    case Fault::Short: faultArg_ = 1 + static_cast<int>(Draw(static_cast<std::uint32_t>(o_.dataLength))); break;
    case Fault::Length: {
        const int v = static_cast<int>(Draw(85 + 43)); // 0..84 or 213..255
        faultArg_ = v < 85 ? v : 213 + (v - 85);
        break;
    }
    case Fault::Garbage: faultArg_ = 1 + static_cast<int>(Draw(20)); break;
    default: break;
    }
}

Faults FaultMixer::For(long number) const
{
    Faults f;
    if (Mixed()) {
        f.any = fault_ != Fault::None;
        f.noEcho = fault_ == Fault::NoEcho;
        f.shortEcho = fault_ == Fault::ShortEcho ? faultArg_ : -1;
        f.wrongEcho = fault_ == Fault::WrongEcho;
        f.drop = fault_ == Fault::Drop;
        f.shortBody = fault_ == Fault::Short ? faultArg_ : -1;
        f.lengthByte = fault_ == Fault::Length ? faultArg_ : -1;
        f.garbage = fault_ == Fault::Garbage ? faultArg_ : 0;
        f.kind = FaultNames[static_cast<int>(fault_)];
        return f;
    }
    f.any = number % o_.faultEvery == 0;
    f.noEcho = o_.noEcho;
    f.shortEcho = o_.shortEcho;
    f.wrongEcho = o_.wrongEcho;
    f.drop = o_.drop;
    f.shortBody = o_.shortBody;
    f.lengthByte = o_.lengthByte;
    f.garbage = o_.garbage;
    f.kind = f.any && o_.FixedFaults() ? "fault" : "good";
    return f;
}

void FaultMixer::Spoil(const Faults& f, std::vector<std::uint8_t>& reply)
{
    if (!f.any) return;
    if (f.lengthByte >= 0) {
        reply[1] = static_cast<std::uint8_t>(f.lengthByte);
        reply.back() = ChecksumOf(reply.data(), reply.size() - 1);
    }
    if (f.shortBody >= 0 && reply.size() > 3u + f.shortBody)
        reply.resize(3u + f.shortBody);
    if (f.garbage > 0) {
        std::vector<std::uint8_t> junk(static_cast<std::size_t>(f.garbage));
        for (auto& j : junk)
            j = Noise();
        // mixed faults must be told apart by the reader: a second byte
        // that is no valid length makes the header read fail
        if (Mixed() && junk.size() >= 2 && junk[1] >= 85 && junk[1] <= 212)
            junk[1] = static_cast<std::uint8_t>(junk[1] % 85);
        reply.insert(reply.begin(), junk.begin(), junk.end());
    }
    if (f.drop)
        reply.clear();
}

bool FaultMixer::HangupDrawn()
{
    return o_.mixHangup && Draw(static_cast<std::uint32_t>(o_.mixHangup)) == 0;
}
