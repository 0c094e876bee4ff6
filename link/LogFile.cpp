#include "link/LogFile.h"

#include "decode/Errors.h"
#include "definitions/Dialogs.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kFilter = "ALDL log file|*.alg";
const char* const kExt = "alg";

// The longest byte list the writer makes is 129 three-wide numbers and their
// commas; a longer list (not written here) is cut there, so a hostile line
// costs no more memory than a whole frame.
constexpr std::size_t kListCut = 4 * (FrameLast + 1);
// A stamp text longer than this cannot be a number worth keeping.
constexpr std::size_t kStampCap = 4096;

std::string Replace(std::string text, const std::string& name)
{
    auto p = text.find("%s");
    if (p != std::string::npos) text.replace(p, 2, name);
    return text;
}

std::string SysError(const char* what, const std::string& name, int err)
{
    return std::string(what) + " " + name + ": " + std::strerror(err);
}

// Opened without blocking (a FIFO must not freeze the window), then made
// blocking again for the ordinary reads and writes.
int OpenFd(const std::string& name, int flags)
{
    int fd;
    do fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

std::int64_t SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void CheckCount(int count)
{
    if (count < 0 || count > FrameLast + 1)
        throw ERangeError("Range check error: a log line of " + std::to_string(count) + " bytes");
}

} // namespace

std::string FormatLogLine(std::int32_t stamp, const std::uint8_t* buf, int count)
{
    CheckCount(count);
    char head[16];
    int n = std::snprintf(head, sizeof head, "%6.6d,", static_cast<int>(stamp));
    std::string line(head, static_cast<std::size_t>(n));
    line += BytesToDec(buf, FrameLast, count);
    return line;
}

int ParseLogLine(const std::string& line, FrameBuffer& buf, std::int32_t& stamp)
{
    auto comma = line.find(',');
    std::size_t from = 0;
    stamp = 0;
    if (comma != std::string::npos) {
        stamp = StrToIntDef(line.substr(0, comma), 0);
        from = comma + 1;
    }
    std::string list = line.substr(from, kListCut);
    try {
        return DecToBytes(list, buf.data(), FrameLast);
    } catch (const ERangeError&) {
        // Only a file not written here has more items than the buffer holds:
        // the first 129 are stored before the throw, the rest are dropped.
        return FrameLast + 1;
    }
}

// ---------------------------------------------------------------- writer

TLogWriter::~TLogWriter() { Close(); }

bool TLogWriter::Create(const std::string& name)
{
    Close();
    if (name.empty()) return false;
    int fd = OpenFd(name, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0) return false;
    struct stat st {};
    regular_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    fd_ = fd;
    size_ = 0;
    unsyncedSince_ = -1;
    syncError_ = 0;
    name_ = name;
    if (background_) StartSyncThread();
    return true;
}

void TLogWriter::Close()
{
    StopSyncThread();
    if (fd_ < 0) return;
    // Lines are already with the system; this only hurries them to the disk.
    if (regular_) ::fdatasync(fd_);
    unsyncedSince_ = -1;
    ::close(fd_);
    fd_ = -1;
    name_.clear();
}

void TLogWriter::WriteLogLine(std::int32_t stamp, const std::uint8_t* buf, int count)
{
    if (fd_ < 0) throw EInOutError("File not open for writing (log file)");
    if (const int err = syncError_.exchange(0)) throw EInOutError(SysError("I/O error syncing log file", name_, err));
    line_ = FormatLogLine(stamp, buf, count);
    line_ += "\r\n";
    const char* p = line_.data();
    std::size_t left = line_.size();
    while (left > 0) {
        ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = n < 0 ? errno : ENOSPC;
            // Take back a partial line so a later reader sees only whole ones.
            if (regular_ && left != line_.size()) {
                if (::ftruncate(fd_, size_) == 0) ::lseek(fd_, size_, SEEK_SET);
            }
            throw EInOutError(SysError("I/O error writing log file", name_, err));
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    size_ += static_cast<long long>(line_.size());
    std::int64_t none = -1;
    unsyncedSince_.compare_exchange_strong(none, SteadyMs());
    if (background_) return;
    if (!SyncIfDue()) {
        if (const int err = syncError_.exchange(0))
            throw EInOutError(SysError("I/O error syncing log file", name_, err));
    }
}

bool TLogWriter::SyncIfDue()
{
    const std::int64_t since = unsyncedSince_;
    if (since < 0 || SteadyMs() - since < SyncAfterMs) return true;
    return Sync();
}

bool TLogWriter::Sync()
{
    std::int64_t since = unsyncedSince_;
    if (fd_ < 0 || since < 0) return true;
    // lines written from now on wait for the next sync
    if (!unsyncedSince_.compare_exchange_strong(since, -1)) return true;
    if (!regular_) return true; // a pipe or device has no disk to reach
    if (::fdatasync(fd_) == 0) return true;
    syncError_ = errno;
    return false;
}

void TLogWriter::SyncInBackground(std::function<void(int err)> failed)
{
    StopSyncThread();
    background_ = true;
    syncFailed_ = std::move(failed);
    if (fd_ >= 0) StartSyncThread();
}

void TLogWriter::StartSyncThread()
{
    StopSyncThread();
    syncQuit_ = false;
    syncThread_ = std::thread([this] { SyncLoop(); });
}

void TLogWriter::StopSyncThread()
{
    if (!syncThread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(syncMutex_);
        syncQuit_ = true;
    }
    syncWake_.notify_all();
    syncThread_.join();
}

// fd_ stays open while this runs: Create and Close stop the thread first.
void TLogWriter::SyncLoop()
{
    std::unique_lock<std::mutex> lock(syncMutex_);
    std::int64_t retryAt = 0;
    while (!syncQuit_) {
        syncWake_.wait_for(lock, std::chrono::milliseconds(100));
        if (syncQuit_ || SteadyMs() < retryAt) continue;
        const std::int64_t since = unsyncedSince_;
        if (since < 0 || SteadyMs() - since < SyncAfterMs) continue;
        if (Sync()) continue;
        // not synced after all: tried again in a second
        std::int64_t none = -1;
        unsyncedSince_.compare_exchange_strong(none, since);
        retryAt = SteadyMs() + 1000;
        if (syncFailed_) syncFailed_(syncError_.exchange(0));
    }
}

// ---------------------------------------------------------------- reader

TLogReader::~TLogReader() { Close(); }

bool TLogReader::Open(const std::string& name)
{
    Close();
    if (name.empty()) return false;
    int fd = OpenFd(name, O_RDONLY);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    eof_ = false;
    name_ = name;
    data_.resize(64 * 1024);
    pos_ = len_ = 0;
    return true;
}

void TLogReader::Close()
{
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    name_.clear();
    pos_ = len_ = 0;
    eof_ = false;
}

bool TLogReader::Fill()
{
    if (eof_) return false;
    for (;;) {
        ssize_t n = ::read(fd_, data_.data(), data_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EInOutError(SysError("I/O error reading replay file", name_, errno));
        pos_ = 0;
        len_ = static_cast<std::size_t>(n);
        if (n == 0) eof_ = true;
        return n > 0;
    }
}

// Keeps the text before the first comma (up to kStampCap) and the first
// kListCut characters after it; a line with no comma keeps its start.
void TLogReader::Append(const char* b, const char* e)
{
    if (comma_ == std::string::npos) {
        auto* c = static_cast<const char*>(std::memchr(b, ',', static_cast<std::size_t>(e - b)));
        const char* stop = c ? c : e;
        std::size_t room = kStampCap > line_.size() ? kStampCap - line_.size() : 0;
        std::size_t take = static_cast<std::size_t>(stop - b);
        if (take > room) {
            take = room;
            stampOverflow_ = true;
        }
        line_.append(b, take);
        if (!c) return;
        if (stampOverflow_) line_.assign("?"); // reads as stamp 0
        comma_ = line_.size();
        line_ += ',';
        b = c + 1;
    }
    std::size_t limit = comma_ + 1 + kListCut;
    if (line_.size() < limit) {
        std::size_t take = std::min(limit - line_.size(), static_cast<std::size_t>(e - b));
        line_.append(b, take);
    }
}

bool TLogReader::ReadLogLine(FrameBuffer& buf, int& count, std::int32_t& stamp)
{
    if (fd_ < 0) return false;
    line_.clear();
    comma_ = std::string::npos;
    stampOverflow_ = false;
    bool any = false;
    for (;;) {
        if (pos_ == len_ && !Fill()) break;
        const char* b = data_.data() + pos_;
        const char* e = data_.data() + len_;
        // The first CR or Ctrl+Z, by memchr rather than a byte loop: a line
        // of gigabytes with no end costs little more than reading it.
        const char* p = e;
        if (const void* cr = std::memchr(b, '\r', static_cast<std::size_t>(e - b))) p = static_cast<const char*>(cr);
        if (const void* z = std::memchr(b, '\x1a', static_cast<std::size_t>(p - b))) p = static_cast<const char*>(z);
        if (p > b) {
            Append(b, p);
            any = true;
        }
        pos_ = static_cast<std::size_t>(p - data_.data());
        if (p == e) continue;
        if (*p == '\x1a') {
            // Ctrl+Z ends the file: nothing after it is ever read.
            eof_ = true;
            pos_ = len_;
            break;
        }
        any = true;
        ++pos_;
        if (pos_ == len_) Fill();
        if (pos_ < len_ && data_[pos_] == '\n') ++pos_;
        break;
    }
    if (!any) return false;
    count = ParseLogLine(line_, buf, stamp);
    return true;
}

bool TLogReader::Seek(std::int64_t pos)
{
    if (fd_ < 0 || pos < 0 || ::lseek(fd_, static_cast<off_t>(pos), SEEK_SET) < 0) return false;
    pos_ = len_ = 0;
    eof_ = false;
    return true;
}

// ---------------------------------------------------------------- commands

bool StartLogging(TLogWriter& log)
{
    auto name = Dialogs().SaveFileName(kFilter, kExt);
    if (!name || name->empty()) return false;
    // Asked whenever the file exists, readable or not, before emptying it.
    if (!ConfirmReplace(*name)) return false;
    if (log.Create(*name)) return true;
    // Without this the user would run believing the frames are recorded.
    Dialogs().Message(Replace("Can't create file %s", *name), "Log file...", MsgButtons::Ok, MsgKind::Error);
    return false;
}

bool TLogWriter::Writes(const std::string& name) const
{
    struct stat mine {}, other {};
    return fd_ >= 0 && ::fstat(fd_, &mine) == 0 && ::stat(name.c_str(), &other) == 0 &&
           mine.st_dev == other.st_dev && mine.st_ino == other.st_ino;
}

bool SetPlayFile(TLogReader& play, const TLogWriter* recording)
{
    play.Close();
    auto name = Dialogs().OpenFileName(kFilter, kExt);
    if (!name) return false;
    // The reader would keep finding the lines the writer appends: a replay
    // that never ends.
    if (recording && recording->Writes(*name)) {
        Dialogs().Message(Replace("Can't replay %s while it is being recorded", *name), "Replay file...",
                          MsgButtons::Ok, MsgKind::Error);
        return false;
    }
    if (play.Open(*name)) return true;
    Dialogs().Message(Replace("Can't open file %s", *name), "Replay file...", MsgButtons::Ok, MsgKind::Error);
    return false;
}
