#pragma once
// Which faults a request and its reply get: the fixed ones of the command
// line (on every K-th reply), or with --mix one fault drawn at random per
// request from the seed.
#include "tools/ecmsim/Options.h"

#include <cstdint>
#include <vector>

// The faults of one request and its reply.
struct Faults {
    bool any = false;
    bool noEcho = false;
    int shortEcho = -1;
    bool wrongEcho = false;
    bool drop = false;
    int shortBody = -1;
    int lengthByte = -1;
    int garbage = 0;
    const char* kind = "good"; // the word of the recording
};

class FaultMixer {
public:
    explicit FaultMixer(const Options& o);

    bool Mixed() const { return o_.mixPercent >= 0; }
    // A request's first byte came: a mixed run draws the request's fault.
    void RequestStarts();
    // The faults of request `number` (counted from 1).
    Faults For(long number) const;
    // Gives `reply` the faults of `f` that touch a reply.
    void Spoil(const Faults& f, std::vector<std::uint8_t>& reply);
    // After each reply: whether a random hang-up (--mix-hangup) is drawn.
    bool HangupDrawn();

private:
    enum class Fault { None, NoEcho, ShortEcho, WrongEcho, Drop, Short, Length, Garbage };

    std::uint8_t Noise()
    {
        noise_ = noise_ * 1664525u + 1013904223u;
        return static_cast<std::uint8_t>(noise_ >> 24);
    }
    // 0 .. n-1 from the mixed faults' own generator (xorshift), so the
    // faults drawn do not depend on the noise bytes sent.
    std::uint32_t Draw(std::uint32_t n)
    {
        mixState_ ^= mixState_ << 13;
        mixState_ ^= mixState_ >> 17;
        mixState_ ^= mixState_ << 5;
        return n ? mixState_ % n : 0;
    }

    const Options& o_;
    std::uint32_t noise_;
    std::uint32_t mixState_;
    Fault fault_ = Fault::None; // mixed: the fault of the request being received
    int faultArg_ = 0;
};
