#pragma once
// An index of a log for seeking: the position, line number, stamp and log
// time of a line now and then (every 256th line, at most one per 8 KB), so
// a log of gigabytes needs a few MB at most. Built in slices, so a window
// can build it between frames while a replay runs.
//
// Log time: the first line is at 0 ms and each line adds the rise of its
// stamp over the line before; a stamp that falls (the next run of a log
// that collects several, or midnight) adds nothing. It never goes back.
#include <cstdint>
#include <string>
#include <vector>

struct TLogPlace {
    std::int64_t Pos = 0;  // byte offset of the line's start
    std::int64_t Line = 0; // 0 for the first line
    std::int64_t Time = 0; // log time, ms
    std::int32_t Stamp = 0;
};

class TLogIndex {
public:
    static constexpr std::int64_t kEveryLines = 256;
    static constexpr std::int64_t kEveryBytes = 8192;

    // `block`: bytes per read.
    explicit TLogIndex(std::size_t block = 1 << 20) : block_(block ? block : 1) {}
    TLogIndex(const TLogIndex&) = delete;
    TLogIndex& operator=(const TLogIndex&) = delete;
    ~TLogIndex();

    // Starts indexing `name` (its own handle; the file is not changed).
    bool Open(const std::string& name);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // Indexes about `bytes` more of the file; true once all of it is.
    // Throws EInOutError when the file cannot be read.
    bool Step(std::size_t bytes = 4 << 20);
    bool Done() const { return done_; }
    // Steps until done.
    void Build();
    // Steps until line `line` is indexed (or the file ends).
    void BuildTo(std::int64_t line);

    // What is indexed so far: lines, and log time of the last of them.
    std::int64_t Lines() const { return lines_; }
    std::int64_t TotalMs() const { return lines_ ? lastTime_ : 0; }
    std::size_t MemoryBytes() const { return marks_.capacity() * sizeof(TLogPlace); }

    // The first indexed line at or after log time `ms` (the last line when
    // none is); false when nothing is indexed.
    bool SeekTime(std::int64_t ms, TLogPlace& out) const;
    // Line `line` (clamped to the indexed lines); false when none is.
    bool SeekLine(std::int64_t line, TLogPlace& out) const;

private:
    // Lines from `from` on, until `stop` says enough; reads with pread.
    template <class Stop> bool Scan(TLogPlace from, Stop stop, TLogPlace& out) const;

    std::size_t block_;
    int fd_ = -1;
    std::string name_;
    bool done_ = false;
    std::vector<TLogPlace> marks_;
    std::vector<char> buf_;
    std::int64_t filePos_ = 0;  // next byte to read
    std::int64_t lineStart_ = 0;
    std::string stampText_;     // the current line's text before its comma
    bool comma_ = false, crPending_ = false, inLine_ = false;
    std::int64_t lines_ = 0, lastTime_ = 0;
    std::int32_t lastStamp_ = 0;
    TLogPlace last_;            // the last whole line
};
