// diduvuve-logger: a headless black box. Reads live frames exactly as a
// "Read Serial ALDL" run of the window with the same definition would, and
// writes every good frame to an .alg log the window can replay.
#include "decode/Errors.h"
#include "decode/Hex.h"
#include "definitions/Definition.h"
#include "link/AldlExchange.h"
#include "link/BusLink.h"
#include "link/FrameSource.h"
#include "link/LinkKeeper.h"
#include "link/LinkStats.h"
#include "link/LogFile.h"
#include "serilink/serilink.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef DIDUVUVE_VERSION
#define DIDUVUVE_VERSION "0"
#endif

namespace {

const char* const kUsage =
    "Usage: diduvuve-logger [options] DEFINITION.ald\n"
    "Reads the ALDL stream with the definition's port, request, interval and\n"
    "echo setting, and writes every good frame to a log named by the local\n"
    "start time (YYYYMMDD-HHMMSS.alg), the form the analyser replays. A lost\n"
    "link is waited for; SIGINT or SIGTERM ends the logger cleanly.\n"
    "\n"
    "  --com N          use serial port COMN instead of the definition's\n"
    "  --out DIR        write logs into DIR (default: the current directory)\n"
    "  --rotate MIN     start a new log every MIN minutes (stamps carry on;\n"
    "                   a fraction such as 0.5 is allowed)\n"
    "  --frames N       stop after N good frames\n"
    "  --help           this text\n"
    "  --version        the program's version\n";

const char* const kMode = "baud=8192 parity=N data=8 stop=1";

struct Options {
    std::string definition;
    std::string outDir = ".";
    std::int32_t com = -1; // -1: the definition's
    std::int64_t rotateMs = 0;
    std::int64_t frames = 0;
};

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "diduvuve-logger: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

bool PositiveNumber(const std::string& text, std::int64_t max, std::int64_t& out)
{
    if (text.empty() || text.size() > 12) return false;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > max) return false;
    out = v;
    return true;
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

// Opens and sets up the port as the window does. On failure the port is
// released and `error` holds the library's text of the failure.
bool OpenPort(std::int32_t port, std::string& error)
{
    if (scInit(port, kMode) >= 0 && scTimeOut(20, 10, 50) >= 0) return true;
    error = Trimmed(scErrText());
    scDone();
    return false;
}

std::string StartName(const std::string& dir, std::time_t when)
{
    std::tm local {};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = dir + "/" + stamp;
    // Never empty another log: a second file in the same second gets a suffix.
    std::string name = base + ".alg";
    struct stat st {};
    for (int k = 2; ::lstat(name.c_str(), &st) == 0; ++k) name = base + "-" + std::to_string(k) + ".alg";
    return name;
}

// The log file. Lines go to the system as they are written; the writer's
// own thread syncs the file once its oldest unsynced line is half a second
// old, even while an exchange blocks, so a power cut loses at most the last
// second. A failed sync is reported and tried again, never the end.
class BlackBox {
public:
    BlackBox()
    {
        writer_.SyncInBackground([this](int err) {
            std::fprintf(stderr, "diduvuve-logger: %s: I/O error syncing log file: %s; trying again\n",
                         writer_.Name().c_str(), std::strerror(err));
            std::fflush(stderr);
        });
    }
    ~BlackBox() { Close(); }

    bool Create(const std::string& name, std::string& error)
    {
        Close();
        errno = 0;
        if (!writer_.Create(name)) {
            error = std::strerror(errno ? errno : EIO);
            return false;
        }
        // The new name itself must survive a power cut too.
        const std::string::size_type slash = name.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : name.substr(0, slash ? slash : 1);
        const int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (d >= 0) {
            ::fsync(d);
            ::close(d);
        }
        return true;
    }

    void Write(std::int32_t stamp, const FrameBuffer& frame, int count) { writer_.WriteLogLine(stamp, frame.data(), count); }

    void Close() { writer_.Close(); } // syncs

    const std::string& Name() const { return writer_.Name(); }

private:
    TLogWriter writer_;
};

// Once a second on a terminal (one line rewritten in place), else every ten seconds.
class Reporter {
public:
    Reporter() : tty_(::isatty(STDERR_FILENO) == 1) {}

    void Line(const std::string& text)
    {
        if (tty_) std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
        else std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
        drawn_ = tty_;
    }
    // A message that must stay visible: on a terminal it ends the status line.
    void Note(const std::string& text)
    {
        if (drawn_) std::fputc('\n', stderr);
        std::fprintf(stderr, "%s\n", text.c_str());
        std::fflush(stderr);
        drawn_ = false;
    }
    void Finish()
    {
        if (drawn_) std::fputc('\n', stderr);
        drawn_ = false;
    }
    int PeriodMs() const { return tty_ ? 1000 : 10000; }

private:
    bool tty_;
    bool drawn_ = false;
};

std::string BaseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        std::int64_t n = 0;
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("diduvuve-logger %s\n", DIDUVUVE_VERSION);
            return 0;
        } else if (a == "--com") {
            if (!value(v) || !PositiveNumber(v, 255, n)) return Usage("--com needs a port number");
            o.com = static_cast<std::int32_t>(n);
        } else if (a == "--out") {
            if (!value(v) || v.empty()) return Usage("--out needs a folder");
            o.outDir = v;
        } else if (a == "--rotate") {
            // Minutes, a fraction allowed ("0.5"), at least a second's worth.
            long double minutes = 0;
            if (!value(v) || !TryFloatFromText(v, minutes) || !(minutes >= 1.0L / 60 && minutes <= 1e7L))
                return Usage("--rotate needs minutes");
            o.rotateMs = static_cast<std::int64_t>(minutes * 60000);
        } else if (a == "--frames") {
            if (!value(v) || !PositiveNumber(v, 1000000000000LL, n)) return Usage("--frames needs a count");
            o.frames = n;
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage("unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 1) return Usage(files.empty() ? "a definition is needed" : "one definition only");
    o.definition = files[0];

    TDefinition def;
    std::string error;
    if (!LoadDefinitionFile(o.definition, def, error)) {
        std::fprintf(stderr, "diduvuve-logger: %s: %s\n", o.definition.c_str(), error.c_str());
        return 1;
    }
    struct stat dirStat {};
    const int statError = ::stat(o.outDir.c_str(), &dirStat) != 0 ? errno : 0;
    if (statError || !S_ISDIR(dirStat.st_mode)) {
        const int e = statError ? statError : ENOTDIR;
        std::fprintf(stderr, "diduvuve-logger: %s: %s\n", o.outDir.c_str(), std::strerror(e));
        return 1;
    }
    const std::int32_t port = o.com > 0 ? o.com : def.Port();
    const std::string portName = "COM" + std::to_string(port);
    const std::vector<std::string> requests = SplitRequests(def.RequestText());
    const bool echo = def.EchoOn();
    const std::int32_t interval = def.IntervalMs();
    TBusLink bus(LoadLinkSettings(o.definition));

    // SIGINT and SIGTERM are taken only between exchanges, so the exchange
    // in progress always finishes and the file closes whole.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    bool stop = false;
    // Sleeps up to `ms`; true when a stop signal arrived.
    auto pause = [&](std::int64_t ms) {
        timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        const int sig = sigtimedwait(&stopSignals, nullptr, &ts);
        if (sig == SIGINT || sig == SIGTERM) stop = true;
        return stop;
    };

    Reporter report;
    LinkKeeper keeper;
    std::int64_t now = StampClockMs();
    bool portOpen = OpenPort(port, error);
    std::string waiting;
    if (!portOpen) {
        // Another program holds the port: that is a mistake to report, not a link to wait for.
        if (error.find(std::strerror(EBUSY)) != std::string::npos) {
            std::fprintf(stderr, "diduvuve-logger: %s: %s\n", portName.c_str(), error.c_str());
            return 1;
        }
        keeper.Exchanged(AldlLinkFailed, SC_ERR_NOT_INIT, "", now, now);
        waiting = "waiting for " + portName + ": " + error;
        report.Note(waiting);
    }

    BlackBox box;
    const std::int64_t startMs = now; // stamps count from the logger's start
    std::int64_t fileStartMs = now;
    if (!box.Create(StartName(o.outDir, std::time(nullptr)), error)) {
        std::fprintf(stderr, "diduvuve-logger: %s: %s\n", o.outDir.c_str(), error.c_str());
        if (portOpen) scDone();
        return 1;
    }

    FrameBuffer frame{};
    std::int64_t good = 0, goodAtReport = 0, badSums = 0;
    std::int64_t failed[5] = {0, 0, 0, 0, 0};
    std::int64_t lastReport = now, lastPeriodic = now;
    double rate = 0;
    int status = 0;
    auto statusText = [&]() {
        char text[512];
        std::snprintf(text, sizeof text,
                      "%.1f frames/s, %lld good; failed: %lld link, %lld echo differs, %lld no echo, "
                      "%lld no header, %lld bad length; %lld bad checksums; %s",
                      rate, static_cast<long long>(good), static_cast<long long>(failed[0]),
                      static_cast<long long>(failed[1]), static_cast<long long>(failed[2]),
                      static_cast<long long>(failed[3]), static_cast<long long>(failed[4]),
                      static_cast<long long>(badSums), BaseName(box.Name()).c_str());
        std::string s = text;
        if (bus.Active()) s += "; chatter " + std::to_string(bus.Skipped());
        if (!portOpen) s += "; " + waiting;
        return s;
    };

    try {
        while (!stop && (o.frames == 0 || good < o.frames)) {
            now = StampClockMs();
            if (o.rotateMs > 0 && now - fileStartMs >= o.rotateMs) {
                if (!box.Create(StartName(o.outDir, std::time(nullptr)), error)) {
                    std::fprintf(stderr, "diduvuve-logger: %s: %s\n", o.outDir.c_str(), error.c_str());
                    status = 1;
                    break;
                }
                fileStartMs = now;
            }
            if (portOpen) {
                const std::int64_t t0 = StampClockMs();
                std::uint8_t header[3] = {};
                const std::int32_t mark = LinkKeeper::MarkSerialError();
                const TLiveFrame f = bus.ReadFrame(requests, echo, frame, startMs, header);
                const std::int32_t code = LinkKeeper::SerialErrorSince(mark);
                bus.TakeNotes();
                now = StampClockMs();
                if (f.Count >= 0) {
                    // Logged all the same, as the window logs it; only counted.
                    if (f.Count > 0 && !ReplyChecksumOk(header, frame.data(), f.Count)) ++badSums;
                    box.Write(f.Stamp, frame, f.Count);
                    ++good;
                } else if (f.Count >= -5) {
                    ++failed[-f.Count - 1];
                }
                if (keeper.Exchanged(f.Count, code, scErrText(), t0, now)) {
                    scDone();
                    portOpen = false;
                    waiting = "waiting for " + portName + ": " + Trimmed(scErrText());
                    report.Note(waiting);
                }
            } else if (keeper.TimeToTry(now)) {
                const bool ok = OpenPort(port, error);
                now = StampClockMs();
                if (keeper.Opened(ok, now)) {
                    portOpen = true;
                    bus.Start(false);
                    report.Note(portName + " is back; logging goes on in " + box.Name());
                } else {
                    waiting = "waiting for " + portName + ": " + error;
                }
            }
            if (now - lastReport >= 1000) {
                rate = static_cast<double>(good - goodAtReport) * 1000.0 / static_cast<double>(now - lastReport);
                goodAtReport = good;
                lastReport = now;
                if (now - lastPeriodic >= report.PeriodMs()) {
                    report.Line(statusText());
                    lastPeriodic = now;
                }
            }
            if (o.frames > 0 && good >= o.frames) break;
            // The window's interval between requests; while the link is lost,
            // the keeper's pace of reopen tries. Slices keep the reports on time.
            std::int64_t wait = std::max<std::int64_t>(portOpen ? interval : 0, keeper.WaitMs(now));
            if (wait == 0) {
                if (pause(0)) break;
                continue;
            }
            while (wait > 0 && !stop) {
                const std::int64_t slice = std::min<std::int64_t>(wait, 200);
                if (pause(slice)) break;
                wait -= slice;
            }
        }
    } catch (const std::exception& e) {
        report.Note("diduvuve-logger: " + box.Name() + ": " + e.what());
        status = 1;
    }
    if (portOpen) {
        bus.Stop();
        scDone();
    }
    now = StampClockMs();
    if (lastReport == startMs && now > startMs) rate = static_cast<double>(good) * 1000.0 / static_cast<double>(now - startMs);
    report.Line(statusText());
    report.Finish();
    box.Close();
    return status;
}
