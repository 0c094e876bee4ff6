#pragma once
// Log files: one text line per good frame, "stamp,bytes" ended by CR LF.
// Plain C++ so replay, benchmarks and tools can read logs without the window.
#include "decode/Hex.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The log being recorded. Every line goes to the operating system as soon
// as it is written, so a crash or kill loses at most the line in progress.
class TLogWriter {
public:
    TLogWriter() = default;
    TLogWriter(const TLogWriter&) = delete;
    TLogWriter& operator=(const TLogWriter&) = delete;
    ~TLogWriter();

    // Creates or empties `name` for writing (closing any open log first).
    // False when it cannot; nothing is shown.
    bool Create(const std::string& name);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // Empty while no log is open.
    const std::string& Name() const { return name_; }
    // Whether `name` is the very file being written (any path to it).
    bool Writes(const std::string& name) const;

    // Appends one line for the first `count` bytes of `buf` (at most 129).
    // Throws EInOutError when the line cannot be written; a partly written
    // line is taken back so the lines before it stay intact. A count below 0
    // or above 129 throws ERangeError and writes nothing.
    void WriteLogLine(std::int32_t stamp, const std::uint8_t* buf, int count);

    // Lines also reach the disk (fdatasync) once the oldest line not yet
    // synced is SyncAfterMs old, so a power cut loses about the last second
    // at most. WriteLogLine checks at every line; a caller that may stop
    // writing calls SyncIfDue now and then (the window every 100 ms) so a
    // last line is not left waiting. SyncIfDue never throws: false when the
    // sync failed, and the next WriteLogLine throws EInOutError for it.
    static constexpr int SyncAfterMs = 500;
    bool SyncIfDue();
    // Whether lines were written since the last sync.
    bool Unsynced() const { return unsyncedSince_ >= 0; }

    // From now on (this log and the next ones) syncs happen on a thread of
    // the writer's own, never in WriteLogLine, so slow media (an SD card, a
    // USB stick) never hold up the writing thread; the last line of a pause
    // reaches the disk without SyncIfDue calls. A failed sync is tried again
    // a second later; `failed`, when given, hears of it (on that thread, with
    // the system's error number), otherwise the next WriteLogLine throws as
    // above. Close still syncs on the caller's thread.
    void SyncInBackground(std::function<void(int err)> failed = {});

private:
    bool Sync();
    void StartSyncThread();
    void StopSyncThread();
    void SyncLoop();

    int fd_ = -1;
    bool regular_ = false;
    std::atomic<std::int64_t> unsyncedSince_{-1}; // steady ms of the oldest unsynced line
    std::atomic<int> syncError_{0};
    bool background_ = false;
    std::function<void(int)> syncFailed_;
    std::thread syncThread_;
    std::mutex syncMutex_;
    std::condition_variable syncWake_;
    bool syncQuit_ = false;
    long long size_ = 0; // bytes of whole lines written
    std::string name_;
    std::string line_;
};

// The log being replayed, read line by line through its own buffer.
class TLogReader {
public:
    TLogReader() = default;
    TLogReader(const TLogReader&) = delete;
    TLogReader& operator=(const TLogReader&) = delete;
    ~TLogReader();

    // Opens `name` (closing any open one first); reading starts at the first
    // line. Only regular files are taken, so a pipe or device never blocks.
    bool Open(const std::string& name);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Name() const { return name_; }

    // False at the end of the file, at a Ctrl+Z, or when no file is open.
    // Otherwise stores the line's bytes from position 0 (positions past the
    // count are left as they were) and gives the count and stamp.
    // Throws EInOutError when the file cannot be read.
    bool ReadLogLine(FrameBuffer& buf, int& count, std::int32_t& stamp);
    // Goes on reading at byte `pos` of the file, a line's start (from a
    // TLogIndex). False when no file is open or it cannot seek.
    bool Seek(std::int64_t pos);

private:
    bool Fill();
    void Append(const char* b, const char* e);

    int fd_ = -1;
    bool eof_ = false;
    std::string name_;
    std::vector<char> data_;
    std::size_t pos_ = 0, len_ = 0;
    // The line being read, kept only as far as it can matter.
    std::string line_;
    std::size_t comma_ = std::string::npos;
    bool stampOverflow_ = false;
};

// Steps 2-4 of switching recording on: save dialog, replace question,
// create. True when recording is now on.
bool StartLogging(TLogWriter& log);
// Closes any open replay file, asks for one and opens it, or shows
// "Can't open file %s". The log `recording` is writing is refused with its
// own message. True when a file is open.
bool SetPlayFile(TLogReader& play, const TLogWriter* recording = nullptr);

// One line without its CR LF: "%6.6d" stamp, ",", the bytes in decimal.
// Same count rules as TLogWriter::WriteLogLine (ERangeError).
std::string FormatLogLine(std::int32_t stamp, const std::uint8_t* buf, int count);
// Splits a line (without its end) into stamp and bytes; returns the count.
// The byte list is cut to 516 characters (the longest the writer makes is
// 515) and to the 129 buffer positions.
int ParseLogLine(const std::string& line, FrameBuffer& buf, std::int32_t& stamp);
