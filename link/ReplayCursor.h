#pragma once
// Where a replay is in its log, and how to steer it: the log's own time of
// the frame last shown, seeking by time or line through a TLogIndex built a
// slice at a time, and pacing by the stamps ("As recorded" and faster).
#include "link/LogFile.h"
#include "link/LogIndex.h"

#include <cstdint>
#include <string>

class TReplayCursor {
public:
    // Follows `reader`, which is open at its first line.
    bool Start(TLogReader& reader);
    void Stop();
    bool Active() const { return reader_ != nullptr; }

    // The next line, as TLogReader::ReadLogLine gives it.
    bool Next(FrameBuffer& buf, int& count, std::int32_t& stamp);
    // The line last given (Line -1 before the first).
    const TLogPlace& Shown() const { return shown_; }

    TLogIndex& Index() { return index_; }
    // The log's length in its own time, as far as it is indexed yet.
    std::int64_t TotalMs() const { return index_.TotalMs(); }

    // Next gives the first line at or after `ms` / line `line` next.
    bool SeekTime(std::int64_t ms);
    bool SeekLine(std::int64_t line);

    // 0: the definition's interval paces (the cursor does not); 1, 2, 4, 8:
    // the stamps do, that many times as fast.
    void SetPace(int speed) { pace_ = speed; anchored_ = false; }
    int Pace() const { return pace_; }
    // Milliseconds until the next line is due at the pace, 0 when due (or
    // none is left). `nowMs` is a steady clock. The first call after Start,
    // a seek or a pace change makes the next line due at once; so does
    // falling more than a second behind.
    std::int64_t DueInMs(std::int64_t nowMs);
    void Reanchor() { anchored_ = false; }

private:
    bool Peek();
    bool Seek(const TLogPlace& p);

    TLogReader* reader_ = nullptr;
    TLogIndex index_;
    TLogPlace shown_{0, -1, 0, 0};
    // The line read ahead for its stamp.
    bool ahead_ = false, end_ = false;
    FrameBuffer aheadBuf_{};
    int aheadCount_ = 0;
    TLogPlace aheadPlace_;
    bool seeked_ = false;
    TLogPlace seekPlace_;
    int pace_ = 0;
    bool anchored_ = false;
    std::int64_t anchorWall_ = 0, anchorLog_ = 0;
};
