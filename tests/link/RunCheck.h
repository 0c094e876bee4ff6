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

// A frame a reader with the echo check on must log: every good reply's body,
// and what arrived of a short one (a smaller count is no failure). Every
// other fault is a failed exchange and leaves no line. A reply within two of
// a stall of the simulator may have come too late for the reader's timeouts
// (a loaded machine), so it may be missing; nothing may ever be extra.
struct ExpectedFrame {
    std::vector<std::uint8_t> bytes;
    bool mayBeMissing = false;
};

inline std::vector<ExpectedFrame> FramesToLog(const std::vector<RecordedReply>& record)
{
    std::vector<ExpectedFrame> frames;
    std::vector<long> frameOfReply; // per reply: its frame index, or -1
    std::vector<std::size_t> stalls;  // reply count at each stall
    for (const RecordedReply& r : record) {
        if (r.kind == "stall") {
            stalls.push_back(frameOfReply.size());
        } else if (r.kind == "hangup") {
            // a reply still in the line when it is cut may be lost with it
            if (!frameOfReply.empty() && frameOfReply.back() >= 0)
                frames[static_cast<std::size_t>(frameOfReply.back())].mayBeMissing = true;
        } else {
            const bool logs = (r.kind == "good" || r.kind == "short") && r.bytes.size() > 3;
            frameOfReply.push_back(logs ? static_cast<long>(frames.size()) : -1);
            if (logs) frames.push_back({{r.bytes.begin() + 3, r.bytes.end()}, false});
        }
    }
    for (std::size_t at : stalls)
        for (std::size_t k = at >= 2 ? at - 2 : 0; k < at + 3 && k < frameOfReply.size(); ++k)
            if (frameOfReply[k] >= 0) frames[static_cast<std::size_t>(frameOfReply[k])].mayBeMissing = true;
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

// Empty when the log holds the expected frames in order with rising stamps,
// each once, none missing but those that may be; otherwise where it first
// differs. `excused` counts the frames missing with an excuse.
inline std::string CompareLog(const std::vector<LoggedFrame>& logged, const std::vector<ExpectedFrame>& expected,
                              long* excused = nullptr)
{
    std::size_t j = 0;
    long skipped = 0;
    for (std::size_t i = 0; i < logged.size(); ++i) {
        while (j < expected.size() && expected[j].mayBeMissing && expected[j].bytes != logged[i].bytes) {
            ++j;
            ++skipped;
        }
        if (j == expected.size())
            return "line " + std::to_string(i + 1) + " is no frame the simulator sent after the last one logged";
        if (expected[j].bytes != logged[i].bytes)
            return "line " + std::to_string(i + 1) + " is not expected frame " + std::to_string(j + 1) + " (" +
                   std::to_string(logged[i].bytes.size()) + " bytes, expected " +
                   std::to_string(expected[j].bytes.size()) + ")";
        if (i > 0 && logged[i].stamp < logged[i - 1].stamp)
            return "stamp goes back at line " + std::to_string(i + 1);
        ++j;
    }
    for (; j < expected.size(); ++j) {
        if (!expected[j].mayBeMissing)
            return "expected frame " + std::to_string(j + 1) + " of " + std::to_string(expected.size()) +
                   " is missing at the end";
        ++skipped;
    }
    if (excused) *excused = skipped;
    return {};
}
