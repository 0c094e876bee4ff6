#include "link/ReplayCursor.h"

#include <algorithm>

bool TReplayCursor::Start(TLogReader& reader)
{
    Stop();
    if (!reader.IsOpen() || !index_.Open(reader.Name())) return false;
    reader_ = &reader;
    return true;
}

void TReplayCursor::Stop()
{
    reader_ = nullptr;
    index_.Close();
    shown_ = {0, -1, 0, 0};
    ahead_ = end_ = seeked_ = anchored_ = false;
}

bool TReplayCursor::Peek()
{
    if (ahead_) return true;
    if (end_ || !reader_) return false;
    aheadBuf_.fill(0);
    std::int32_t stamp = 0;
    if (!reader_->ReadLogLine(aheadBuf_, aheadCount_, stamp)) {
        end_ = true;
        return false;
    }
    if (seeked_) aheadPlace_ = seekPlace_;
    else {
        aheadPlace_.Line = shown_.Line + 1;
        const std::int64_t rise = static_cast<std::int64_t>(stamp) - shown_.Stamp;
        aheadPlace_.Time = shown_.Line < 0 ? 0 : shown_.Time + (rise > 0 ? rise : 0);
        aheadPlace_.Pos = -1; // not needed: seeks go through the index
    }
    aheadPlace_.Stamp = stamp;
    seeked_ = false;
    ahead_ = true;
    return true;
}

bool TReplayCursor::Next(FrameBuffer& buf, int& count, std::int32_t& stamp)
{
    if (!Peek()) return false;
    ahead_ = false;
    // Positions past the count stay as the caller zeroed them.
    std::copy(aheadBuf_.begin(), aheadBuf_.begin() + std::min(aheadCount_, FrameLast + 1), buf.begin());
    count = aheadCount_;
    stamp = aheadPlace_.Stamp;
    shown_ = aheadPlace_;
    return true;
}

bool TReplayCursor::Seek(const TLogPlace& p)
{
    if (!reader_ || !reader_->Seek(p.Pos)) return false;
    ahead_ = end_ = false;
    seeked_ = true;
    seekPlace_ = p;
    anchored_ = false;
    return true;
}

bool TReplayCursor::SeekTime(std::int64_t ms)
{
    while (!index_.Done() && index_.TotalMs() < ms) index_.Step();
    TLogPlace p;
    return index_.SeekTime(ms, p) && Seek(p);
}

bool TReplayCursor::SeekLine(std::int64_t line)
{
    if (line < 0) line = 0;
    index_.BuildTo(line);
    TLogPlace p;
    return index_.SeekLine(line, p) && Seek(p);
}

std::int64_t TReplayCursor::DueInMs(std::int64_t nowMs)
{
    if (pace_ <= 0 || !Peek()) return 0;
    if (!anchored_) {
        anchored_ = true;
        anchorWall_ = nowMs;
        anchorLog_ = aheadPlace_.Time;
        return 0;
    }
    const std::int64_t due = anchorWall_ + (aheadPlace_.Time - anchorLog_) / pace_;
    if (nowMs - due > 1000) { // a stall: go on from here rather than rush to catch up
        anchorWall_ = nowMs;
        anchorLog_ = aheadPlace_.Time;
        return 0;
    }
    return due > nowMs ? due - nowMs : 0;
}
