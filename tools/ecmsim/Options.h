#pragma once
// The simulator's command line.
#include "tools/ecmsim/Chatter.h"

#include <cstdint>
#include <optional>
#include <string>

struct Options {
    int com = 0;
    std::string device;
    std::uint32_t baud = 8192;
    bool pace = true;
    double replyDelayMs = 1;
    std::uint8_t id = 0xF4;
    int dataLength = 56;
    std::uint32_t seed = 1;
    double tickMs = 80;
    bool noEcho = false;
    int shortEcho = -1;
    bool wrongEcho = false;
    bool drop = false;
    int shortBody = -1;
    int lengthByte = -1;
    int garbage = 0;
    long hangupAfter = 0;
    long faultEvery = 1;
    int mixPercent = -1; // -1: fixed faults; 0..100: mixed ones
    long mixHangup = 0;
    std::string record;
    bool quiet = false;
    Chatter::Kind chatter = Chatter::Kind::None;
    double quietMs = 3000;

    // Any of the fixed faults asked for.
    bool FixedFaults() const
    {
        return noEcho || shortEcho >= 0 || wrongEcho || drop || shortBody >= 0 || lengthByte >= 0 || garbage > 0;
    }
};

// Nothing when the simulator is to run; otherwise the exit status (0 after
// --help or --version, 2 for bad usage, told on standard error).
std::optional<int> ParseOptions(int argc, char** argv, Options& o);
