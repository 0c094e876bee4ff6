#pragma once
// Which log the frames go to: one named by the local time it was started
// (YYYYMMDD-HHMMSS.alg), and with --rotate a new one every so many minutes
// while the frames' stamps carry on.
#include "app/logger/BlackBox.h"

#include <cstdint>
#include <ctime>
#include <string>

// The log's name in `dir` for a start at `when`; a second log in the same
// second gets a suffix (-2, -3, ...), so no log is ever emptied.
std::string StartName(const std::string& dir, std::time_t when);

class Rotation {
public:
    // `everyMs` 0: one log for the whole run.
    Rotation(BlackBox& box, std::string dir, std::int64_t everyMs) : box_(box), dir_(std::move(dir)), everyMs_(everyMs) {}

    // Starts a log at `nowMs`; false with the reason in `error`.
    bool Start(std::int64_t nowMs, std::string& error);
    // Starts the next log when the current one is old enough; false when that failed.
    bool Turn(std::int64_t nowMs, std::string& error);

private:
    BlackBox& box_;
    std::string dir_;
    std::int64_t everyMs_;
    std::int64_t startMs_ = 0;
};
