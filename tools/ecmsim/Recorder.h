#pragma once
// The --record file: a line per answered request, the hang-up, and every
// stall of the simulator (a time it did not run, when its replies may have
// come too late).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class Recorder {
public:
    // A turn of the simulator's loop at least every TurnNs while recording;
    // a turn later than StallNs is a stall.
    static constexpr std::int64_t TurnNs = 5000000;
    static constexpr std::int64_t StallNs = 30000000;

    Recorder() = default;
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Appends to `name`; false with errno set when it cannot be opened.
    bool Open(const std::string& name);
    bool On() const { return file_ != nullptr; }

    // "<reply number> <kind> <reply bytes in hex>"
    void Reply(long number, const char* kind, const std::vector<std::uint8_t>& reply);
    void Hangup(long replies);
    // A turn of the simulator's loop at `nowNs`; notes a stall since the last.
    void Turn(std::int64_t nowNs, long replies);

private:
    std::FILE* file_ = nullptr;
    std::int64_t lastTurn_ = -1;
};
