#include "link/LogIndex.h"

#include "decode/Errors.h"
#include "decode/Hex.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The stamp text the replay reader would keep; longer reads as stamp 0.
constexpr std::size_t kStampCap = 4096;

// Cuts bytes into lines exactly as the replay reader does: a line ends at a
// CR (a LF right after it belongs to the end), a lone LF is an ordinary
// character, and a Ctrl+Z ends the file.
struct TLineCutter {
    std::int64_t lineStart = 0;
    std::string stampText;
    bool comma = false, inLine = false, crPending = false, overflow = false;

    std::int32_t Stamp() const { return comma && !overflow ? StrToIntDef(stampText, 0) : 0; }
    void NextLine(std::int64_t start)
    {
        lineStart = start;
        stampText.clear();
        comma = inLine = overflow = false;
    }

    // Bytes [b, e) that start at file offset `pos`. onLine(start, stamp)
    // returns false to stop. False when stopped or at a Ctrl+Z.
    template <class F> bool Feed(const char* b, const char* e, std::int64_t pos, F&& onLine, bool& ended)
    {
        const char* p = b;
        if (crPending && p < e) {
            crPending = false;
            if (*p == '\n') {
                ++p;
                ++lineStart;
            }
        }
        while (p < e) {
            const char* q = e;
            if (const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(e - p))) q = static_cast<const char*>(cr);
            if (const void* z = std::memchr(p, '\x1a', static_cast<std::size_t>(q - p))) q = static_cast<const char*>(z);
            if (q > p) {
                inLine = true;
                if (!comma) {
                    const void* c = std::memchr(p, ',', static_cast<std::size_t>(q - p));
                    const char* stop = c ? static_cast<const char*>(c) : q;
                    const std::size_t room = kStampCap > stampText.size() ? kStampCap - stampText.size() : 0;
                    const std::size_t take = std::min(room, static_cast<std::size_t>(stop - p));
                    if (take < static_cast<std::size_t>(stop - p)) overflow = true;
                    stampText.append(p, take);
                    comma = c != nullptr;
                }
            }
            if (q == e) return true;
            if (*q == '\x1a') {
                ended = true;
                if (inLine) onLine(lineStart, Stamp());
                return false;
            }
            const bool go = onLine(lineStart, Stamp());
            p = q + 1;
            NextLine(pos + (p - b));
            if (p == e) crPending = true;
            else if (*p == '\n') {
                ++p;
                ++lineStart;
            }
            if (!go) return false;
        }
        return true;
    }
};

std::int64_t NextTime(std::int64_t time, std::int32_t prevStamp, std::int32_t stamp)
{
    const std::int64_t rise = static_cast<std::int64_t>(stamp) - prevStamp;
    return rise > 0 ? time + rise : time;
}

ssize_t PRead(int fd, char* buf, std::size_t size, std::int64_t pos, const std::string& name)
{
    for (;;) {
        const ssize_t n = ::pread(fd, buf, size, static_cast<off_t>(pos));
        if (n >= 0) return n;
        if (errno != EINTR)
            throw EInOutError(std::string("I/O error reading replay file ") + name + ": " + std::strerror(errno));
    }
}

} // namespace

TLogIndex::~TLogIndex() { Close(); }

bool TLogIndex::Open(const std::string& name)
{
    Close();
    int fd;
    do fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    fd_ = fd;
    name_ = name;
    return true;
}

void TLogIndex::Close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    name_.clear();
    done_ = false;
    marks_.clear();
    marks_.shrink_to_fit();
    filePos_ = lineStart_ = lines_ = lastTime_ = 0;
    lastStamp_ = 0;
    stampText_.clear();
    comma_ = crPending_ = inLine_ = false;
    last_ = {};
}

bool TLogIndex::Step(std::size_t bytes)
{
    if (fd_ < 0 || done_) return true;
    if (buf_.size() != block_) buf_.resize(block_);
    TLineCutter cut;
    cut.lineStart = lineStart_, cut.stampText = std::move(stampText_), cut.comma = comma_;
    cut.inLine = inLine_, cut.crPending = crPending_;
    auto onLine = [this](std::int64_t start, std::int32_t stamp) {
        TLogPlace p{start, lines_, lines_ ? NextTime(lastTime_, lastStamp_, stamp) : 0, stamp};
        if (marks_.empty() ||
            (p.Line - marks_.back().Line >= kEveryLines && p.Pos - marks_.back().Pos >= kEveryBytes))
            marks_.push_back(p);
        last_ = p;
        ++lines_;
        lastTime_ = p.Time;
        lastStamp_ = stamp;
        return true;
    };
    std::size_t done = 0;
    while (!done_ && done < bytes) {
        const ssize_t n = PRead(fd_, buf_.data(), buf_.size(), filePos_, name_);
        if (n == 0) {
            if (cut.inLine) onLine(cut.lineStart, cut.Stamp());
            done_ = true;
            break;
        }
        bool ended = false;
        cut.Feed(buf_.data(), buf_.data() + n, filePos_, onLine, ended);
        filePos_ += n;
        done += static_cast<std::size_t>(n);
        if (ended) done_ = true;
    }
    lineStart_ = cut.lineStart, stampText_ = std::move(cut.stampText), comma_ = cut.comma;
    inLine_ = cut.inLine, crPending_ = cut.crPending;
    if (done_) {
        buf_.clear();
        buf_.shrink_to_fit();
    }
    return done_;
}

void TLogIndex::Build()
{
    while (!Step()) {
    }
}

void TLogIndex::BuildTo(std::int64_t line)
{
    while (lines_ <= line && !Step()) {
    }
}

template <class Stop> bool TLogIndex::Scan(TLogPlace from, Stop stop, TLogPlace& out) const
{
    out = from;
    if (stop(from) || from.Line + 1 >= lines_) return true;
    std::vector<char> buf(std::min<std::size_t>(block_, 64 * 1024));
    TLineCutter cut;
    cut.lineStart = from.Pos;
    TLogPlace prev = from;
    bool first = true, found = false;
    auto onLine = [&](std::int64_t start, std::int32_t stamp) {
        if (first) { // the line we started from
            first = false;
            return true;
        }
        TLogPlace p{start, prev.Line + 1, NextTime(prev.Time, prev.Stamp, stamp), stamp};
        prev = p;
        out = p;
        found = stop(p) || p.Line + 1 >= lines_;
        return !found;
    };
    std::int64_t pos = from.Pos;
    while (!found) {
        const ssize_t n = PRead(fd_, buf.data(), buf.size(), pos, name_);
        if (n == 0) {
            if (cut.inLine) onLine(cut.lineStart, cut.Stamp());
            break;
        }
        bool ended = false;
        const bool more = cut.Feed(buf.data(), buf.data() + n, pos, onLine, ended);
        pos += n;
        if (!more) break;
    }
    return true;
}

bool TLogIndex::SeekTime(std::int64_t ms, TLogPlace& out) const
{
    if (lines_ == 0 || marks_.empty()) return false;
    auto it = std::lower_bound(marks_.begin(), marks_.end(), ms,
                               [](const TLogPlace& m, std::int64_t t) { return m.Time < t; });
    if (it == marks_.begin()) {
        out = marks_.front();
        return true;
    }
    return Scan(*(it - 1), [ms](const TLogPlace& p) { return p.Time >= ms; }, out);
}

bool TLogIndex::SeekLine(std::int64_t line, TLogPlace& out) const
{
    if (lines_ == 0 || marks_.empty()) return false;
    line = std::clamp<std::int64_t>(line, 0, lines_ - 1);
    auto it = std::upper_bound(marks_.begin(), marks_.end(), line,
                               [](std::int64_t l, const TLogPlace& m) { return l < m.Line; });
    return Scan(*(it - 1), [line](const TLogPlace& p) { return p.Line >= line; }, out);
}
