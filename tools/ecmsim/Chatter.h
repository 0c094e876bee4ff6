#pragma once
// Other modules on the simulated bus: the published patterns of real cars.
//   vt   the VT-VY body module (F1) runs the bus: a burst of frames about
//        every 300 ms ending in the heartbeat 08 55 A3, then silence;
//        mode 8 to F1 quiets it, mode 9 to F1 lets it talk again
//   vs   the VR/VS ECM itself sends frames to the body module until it gets
//        its own mode 8
//   lt1  the ECM polls for a tester (F0 56 F4 C6) and sends normal-mode
//        frames until it gets its own mode 8
// A silenced bus talks again after the quiet time, or at once on mode 9.
#include <cstdint>
#include <string>
#include <vector>

class Chatter {
public:
    enum class Kind { None, Vt, Vs, Lt1 };
    static bool ParseKind(const std::string& text, Kind& out);

    Chatter(Kind kind, double quietMs, std::uint8_t ecmId);
    bool On() const { return kind_ != Kind::None; }

    // Frames that start now or earlier: each with the idle time before it.
    struct Frame {
        std::vector<std::uint8_t> bytes;
        std::int64_t gapNs;
    };
    std::vector<Frame> Due(std::int64_t nowNs);
    // Nanoseconds until the next frame is due (-1: none while silenced for good).
    std::int64_t NextDueNs(std::int64_t nowNs) const;

    // A whole good request on the line. Silences or wakes the talkers; true
    // when a module other than the ECM answers it, with the answer.
    bool Heard(const std::vector<std::uint8_t>& frame, std::int64_t nowNs, std::vector<std::uint8_t>& answer);

private:
    std::vector<Frame> Cycle();
    std::uint8_t Master() const; // the ID whose mode 8 and 9 rule the chatter

    Kind kind_;
    std::int64_t quietNs_;
    std::uint8_t ecmId_;
    std::int64_t next_ = -1;       // start of the next cycle
    std::int64_t quietUntil_ = -1; // silenced until then
    std::uint32_t tick_ = 0;
};
