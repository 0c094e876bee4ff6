#pragma once
// What a recorded run should hold, from the simulator's --record file, and
// what it does hold, from the log the window wrote.
#include "decode/Hex.h"
#include "link/LogFile.h"

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

struct RecordedReply {
    long number = 0;
    std::string kind; // good, a fault's name, or hangup
    std::vector<std::uint8_t> bytes;
};

inline std::vector<RecordedReply> ReadRecord(const std::string& path)
{
    std::vector<RecordedReply> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        RecordedReply r;
        s >> r.number >> r.kind;
        std::string hex;
        while (s >> hex) r.bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex, nullptr, 16)));
        out.push_back(std::move(r));
    }
    return out;
}

// The frames a reader with the echo check on must log, in order: every good
// reply's body, and what arrived of a short one (a smaller count is no
// failure). Every other fault is a failed exchange and leaves no line.
inline std::vector<std::vector<std::uint8_t>> FramesToLog(const std::vector<RecordedReply>& record)
{
    std::vector<std::vector<std::uint8_t>> frames;
    for (const RecordedReply& r : record)
        if ((r.kind == "good" || r.kind == "short") && r.bytes.size() > 3)
            frames.emplace_back(r.bytes.begin() + 3, r.bytes.end());
    return frames;
}

inline std::map<std::string, long> KindCounts(const std::vector<RecordedReply>& record)
{
    std::map<std::string, long> counts;
    for (const RecordedReply& r : record) ++counts[r.kind];
    return counts;
}

struct LoggedFrame {
    std::int32_t stamp = 0;
    std::vector<std::uint8_t> bytes;
};

inline std::vector<LoggedFrame> ReadLoggedFrames(const std::string& path)
{
    std::vector<LoggedFrame> out;
    TLogReader r;
    if (!r.Open(path)) return out;
    FrameBuffer buf{};
    int count = 0;
    std::int32_t stamp = 0;
    while (r.ReadLogLine(buf, count, stamp)) out.push_back({stamp, {buf.begin(), buf.begin() + count}});
    return out;
}

// Empty when the log holds exactly the expected frames in order with rising
// stamps; otherwise where it first differs.
inline std::string CompareLog(const std::vector<LoggedFrame>& logged,
                              const std::vector<std::vector<std::uint8_t>>& expected)
{
    for (std::size_t i = 0; i < logged.size() && i < expected.size(); ++i) {
        if (logged[i].bytes != expected[i])
            return "line " + std::to_string(i + 1) + " differs from reply " + std::to_string(i + 1) + " (" +
                   std::to_string(logged[i].bytes.size()) + " bytes, expected " +
                   std::to_string(expected[i].size()) + ")";
        if (i > 0 && logged[i].stamp < logged[i - 1].stamp)
            return "stamp goes back at line " + std::to_string(i + 1);
    }
    if (logged.size() != expected.size())
        return std::to_string(logged.size()) + " lines logged, " + std::to_string(expected.size()) + " expected";
    return {};
}
