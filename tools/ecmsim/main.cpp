// ecmsim: a simulated Holden ECM on the single-wire ALDL line.
#include "tools/ecmsim/Chatter.h"
#include "tools/ecmsim/Device.h"
#include "tools/ecmsim/EngineModel.h"
#include "tools/ecmsim/Protocol.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <getopt.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const HelpText =
    "Usage: ecmsim [options]\n"
    "A simulated ECM answering ALDL requests at 8192 baud on a pseudo-terminal\n"
    "(or on a device). It prints \"READY <path>\" on standard output once the\n"
    "line is open, then runs until it is ended (SIGTERM, SIGINT) or hangs up.\n"
    "\n"
    "A request is ID, length 0x55 + n, n bytes, checksum. Every byte received is\n"
    "echoed, as on the one-wire line. A request with a bad checksum, or for\n"
    "another ID, gets no answer. Mode 1 is answered with ID, length, mode, the\n"
    "engine data and a checksum; any other mode with ID, 0x56, mode, checksum.\n"
    "The data layout is the one of examples/ecmsim.ald.\n"
    "\n"
    "Line:\n"
    "  --com N            create the serilink link COMN to the pseudo-terminal in\n"
    "                     $XDG_CONFIG_HOME/serilink (default ~/.config/serilink);\n"
    "                     it is removed again on exit\n"
    "  --device PATH      use this serial device instead of a pseudo-terminal\n"
    "  --baud N           pace the bytes at N baud, 10 bits a byte (8192)\n"
    "  --no-pace          send at once, without pacing\n"
    "  --reply-delay MS   pause between the end of the echo and the reply (1)\n"
    "\n"
    "Answers:\n"
    "  --id HEX           the ECM's ID (F4)\n"
    "  --data-length N    mode 1 data bytes, 0..126 (56, as VN-VS ECMs send)\n"
    "  --seed N           seed of the engine model (1); same seed, same data\n"
    "  --tick MS          model time that passes per mode 1 reply (80)\n"
    "\n"
    "Faults (on every reply, or only on every K-th with --fault-every K):\n"
    "  --no-echo          do not echo the request\n"
    "  --short-echo N     echo only the first N bytes of a request\n"
    "  --wrong-echo       echo the last byte of a request inverted\n"
    "  --drop             send no reply\n"
    "  --short N          send only N bytes after the three header bytes\n"
    "  --length-byte V    send V (decimal, or 0x.. hex) as the length byte\n"
    "  --garbage N        send N random bytes before the reply\n"
    "  --fault-every K    apply the faults above only to replies K, 2K, ... (1)\n"
    "  --hangup-after N   after N replies, wait until the reader has taken every\n"
    "                     byte, then close the line and exit\n"
    "\n"
    "Mixed faults (instead of the fixed ones above; drawn from --seed):\n"
    "  --mix P            give P percent of the requests one fault drawn at random:\n"
    "                     no-echo, short-echo, wrong-echo, drop, short (part of\n"
    "                     the body, one byte or more), length (a length byte outside\n"
    "                     85..212) or garbage (1..20 bytes before the reply whose\n"
    "                     second byte is no valid length)\n"
    "  --mix-hangup N     also hang up, as --hangup-after does, after a reply with\n"
    "                     a chance of 1 in N\n"
    "  --record FILE      append one line per answered request to FILE:\n"
    "                     \"<reply number> <kind> <reply bytes in hex>\", kind being\n"
    "                     good, the mixed fault, or \"fault\" for a fixed one; a\n"
    "                     last line \"<n> hangup\" on a hang-up, and \"<n> stall <ms>\"\n"
    "                     when the simulator did not run for over 30 ms (its\n"
    "                     replies around then may have come too late)\n"
    "\n"
    "Bus:\n"
    "  --chatter KIND     other modules talk on the line: vt (the body module's\n"
    "                     bursts with the heartbeat 08 55 A3, quieted by mode 8\n"
    "                     to F1), vs (the ECM's frames to the body module, quieted\n"
    "                     by its own mode 8), lt1 (the ECM's tester poll F0 56 ..\n"
    "                     and normal-mode frames, quieted by its own mode 8);\n"
    "                     mode 9 lets them talk again. A request that overlaps\n"
    "                     their frames on the line is lost and gets no answer\n"
    "  --quiet-ms MS      how long mode 8 keeps the bus quiet (3000)\n"
    "\n"
    "  --quiet            no log of requests on standard error\n"
    "  --help             this text\n";

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int)
{
    stopRequested = 1;
}

std::int64_t NowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Options {
    int com = 0;
    std::string device;
    std::uint32_t baud = 8192;
    bool pace = true;
    double replyDelayMs = 1;
    std::uint8_t id = 0xF4;
    int dataLength = 56;
    std::uint32_t seed = 1;
    double tickMs = 80;
    bool noEcho = false;
    int shortEcho = -1;
    bool wrongEcho = false;
    bool drop = false;
    int shortBody = -1;
    int lengthByte = -1;
    int garbage = 0;
    long hangupAfter = 0;
    long faultEvery = 1;
    int mixPercent = -1;
    long mixHangup = 0;
    std::string record;
    bool quiet = false;
    Chatter::Kind chatter = Chatter::Kind::None;
    double quietMs = 3000;
};

bool ParseLong(const char* text, long lo, long hi, long& out)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 0);
    if (errno || end == text || *end || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool ParseDouble(const char* text, double lo, double hi, double& out)
{
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (errno || end == text || *end || !(v >= lo && v <= hi))
        return false;
    out = v;
    return true;
}

// 0 to run, 1 to stop with success (help), 2 on a bad option.
int ParseOptions(int argc, char** argv, Options& o)
{
    enum {
        OCom = 1000, ODevice, OBaud, ONoPace, OReplyDelay, OId, ODataLength, OSeed, OTick,
        ONoEcho, OShortEcho, OWrongEcho, ODrop, OShort, OLengthByte, OGarbage, OHangup,
        OFaultEvery, OMix, OMixHangup, ORecord, OQuiet, OHelp, OChatter, OQuietMs
    };
    static const option longOpts[] = {
        {"com", required_argument, nullptr, OCom},
        {"device", required_argument, nullptr, ODevice},
        {"baud", required_argument, nullptr, OBaud},
        {"no-pace", no_argument, nullptr, ONoPace},
        {"reply-delay", required_argument, nullptr, OReplyDelay},
        {"id", required_argument, nullptr, OId},
        {"data-length", required_argument, nullptr, ODataLength},
        {"seed", required_argument, nullptr, OSeed},
        {"tick", required_argument, nullptr, OTick},
        {"no-echo", no_argument, nullptr, ONoEcho},
        {"short-echo", required_argument, nullptr, OShortEcho},
        {"wrong-echo", no_argument, nullptr, OWrongEcho},
        {"drop", no_argument, nullptr, ODrop},
        {"short", required_argument, nullptr, OShort},
        {"length-byte", required_argument, nullptr, OLengthByte},
        {"garbage", required_argument, nullptr, OGarbage},
        {"hangup-after", required_argument, nullptr, OHangup},
        {"fault-every", required_argument, nullptr, OFaultEvery},
        {"mix", required_argument, nullptr, OMix},
        {"mix-hangup", required_argument, nullptr, OMixHangup},
        {"record", required_argument, nullptr, ORecord},
        {"quiet", no_argument, nullptr, OQuiet},
        {"help", no_argument, nullptr, OHelp},
        {"chatter", required_argument, nullptr, OChatter},
        {"quiet-ms", required_argument, nullptr, OQuietMs},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int c;
    int idx = 0;
    while ((c = getopt_long(argc, argv, "", longOpts, &idx)) != -1) {
        long v = 0;
        bool ok = true;
        switch (c) {
        case OCom: ok = ParseLong(optarg, 1, 255, v); o.com = static_cast<int>(v); break;
        case ODevice: o.device = optarg; break;
        case OBaud: ok = ParseLong(optarg, 1, 4000000, v); o.baud = static_cast<std::uint32_t>(v); break;
        case ONoPace: o.pace = false; break;
        case OReplyDelay: ok = ParseDouble(optarg, 0, 10000, o.replyDelayMs); break;
        case OId: {
            char* end = nullptr;
            v = std::strtol(optarg, &end, 16);
            ok = end != optarg && !*end && v >= 0 && v <= 255;
            o.id = static_cast<std::uint8_t>(v);
            break;
        }
        case ODataLength: ok = ParseLong(optarg, 0, 126, v); o.dataLength = static_cast<int>(v); break;
        case OSeed: ok = ParseLong(optarg, 0, 0x7FFFFFFF, v); o.seed = static_cast<std::uint32_t>(v); break;
        case OTick: ok = ParseDouble(optarg, 0, 3600000, o.tickMs); break;
        case ONoEcho: o.noEcho = true; break;
        case OShortEcho: ok = ParseLong(optarg, 0, 1000, v); o.shortEcho = static_cast<int>(v); break;
        case OWrongEcho: o.wrongEcho = true; break;
        case ODrop: o.drop = true; break;
        case OShort: ok = ParseLong(optarg, 0, 1000, v); o.shortBody = static_cast<int>(v); break;
        case OLengthByte: ok = ParseLong(optarg, 0, 255, v); o.lengthByte = static_cast<int>(v); break;
        case OGarbage: ok = ParseLong(optarg, 0, 100000, v); o.garbage = static_cast<int>(v); break;
        case OHangup: ok = ParseLong(optarg, 1, 0x7FFFFFFF, v); o.hangupAfter = v; break;
        case OFaultEvery: ok = ParseLong(optarg, 1, 0x7FFFFFFF, v); o.faultEvery = v; break;
        case OMix: ok = ParseLong(optarg, 0, 100, v); o.mixPercent = static_cast<int>(v); break;
        case OMixHangup: ok = ParseLong(optarg, 1, 0x7FFFFFFF, v); o.mixHangup = v; break;
        case ORecord: o.record = optarg; break;
        case OQuiet: o.quiet = true; break;
        case OHelp: std::fputs(HelpText, stdout); return 1;
        case OChatter: ok = Chatter::ParseKind(optarg, o.chatter); break;
        case OQuietMs: ok = ParseDouble(optarg, 0, 3600000, o.quietMs); break;
        default:
            std::fprintf(stderr, "ecmsim: unknown option or missing value: %s\n",
                         argv[optind - 1]);
            std::fputs("Try 'ecmsim --help'.\n", stderr);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "ecmsim: bad value '%s' for --%s\n", optarg, longOpts[idx].name);
            return 2;
        }
    }
    if (optind < argc) {
        std::fprintf(stderr, "ecmsim: unexpected argument: %s\n", argv[optind]);
        return 2;
    }
    const bool fixedFaults = o.noEcho || o.shortEcho >= 0 || o.wrongEcho || o.drop || o.shortBody >= 0
                             || o.lengthByte >= 0 || o.garbage > 0 || o.faultEvery != 1;
    if (o.mixPercent >= 0 && fixedFaults) {
        std::fprintf(stderr, "ecmsim: --mix draws its own faults; it does not go with the fixed ones\n");
        return 2;
    }
    if (o.mixHangup && o.mixPercent < 0)
        o.mixPercent = 0;
    if (o.com && !o.device.empty()) {
        std::fprintf(stderr, "ecmsim: --com links a pseudo-terminal; it does not go with --device\n");
        return 2;
    }
    return 0;
}

std::string LinkDir()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/serilink";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/serilink";
}

bool MakeDirs(const std::string& path)
{
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    return true;
}

// Replaces a stale link of an earlier run, never a file of the user's.
bool CreateLink(const std::string& link, const std::string& target)
{
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            return false;
        }
        unlink(link.c_str());
    }
    return symlink(target.c_str(), link.c_str()) == 0;
}

void RemoveLinkIfOurs(const std::string& link, const std::string& target)
{
    char buf[4096];
    ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0) {
        buf[n] = '\0';
        if (target == buf)
            unlink(link.c_str());
    }
}

class Simulator {
public:
    Simulator(const Options& o, LineEnd& end, std::FILE* record)
        : o_(o), end_(end), model_(o.seed), noise_(o.seed ^ 0xA5A5A5A5u),
          mixState_(o.seed * 2654435761u + 12345u), record_(record), chatter_(o.chatter, o.quietMs, o.id)
    {
        byteNs_ = o.pace ? 10LL * 1000000000 / o.baud : 0;
    }

    // 0 on a normal end, 1 when the line failed.
    int Run();

private:
    struct Out {
        std::uint8_t byte;
        std::int64_t gapNs;   // idle line time before this byte
        std::int64_t enqNs;   // when it was queued
        bool chatter = false; // another module's byte
    };
    void QueueChatter(std::int64_t now);

    void Received(std::uint8_t b, std::int64_t now);
    void Answer(const std::vector<std::uint8_t>& frame, bool faulty, std::int64_t now);
    std::int64_t DueOf(const Out& out) const
    {
        std::int64_t start = lineFree_ + out.gapNs;
        if (start < out.enqNs)
            start = out.enqNs;
        return start + byteNs_;
    }
    bool Flush(std::int64_t now);
    std::uint8_t Noise()
    {
        noise_ = noise_ * 1664525u + 1013904223u;
        return static_cast<std::uint8_t>(noise_ >> 24);
    }
    // 0 .. n-1 from the mixed faults' own generator (xorshift), so the
    // faults drawn do not depend on the noise bytes sent.
    std::uint32_t Draw(std::uint32_t n)
    {
        mixState_ ^= mixState_ << 13;
        mixState_ ^= mixState_ >> 17;
        mixState_ ^= mixState_ << 5;
        return n ? mixState_ % n : 0;
    }
    void DrawFault();
    void Record(const char* kind, const std::vector<std::uint8_t>& reply);

    enum class Fault { None, NoEcho, ShortEcho, WrongEcho, Drop, Short, Length, Garbage };
    static constexpr const char* FaultNames[] = {"good", "no-echo", "short-echo", "wrong-echo",
                                                 "drop", "short", "length", "garbage"};

    // a turn of the loop at least every TurnNs while recording; a turn later
    // than StallNs is a stall
    static constexpr std::int64_t TurnNs = 5000000;
    static constexpr std::int64_t StallNs = 30000000;

    const Options& o_;
    LineEnd& end_;
    EngineModel model_;
    RequestParser parser_;
    std::deque<Out> queue_;
    std::int64_t byteNs_ = 0;
    std::int64_t lineFree_ = 0;
    long requests_ = 0;
    long replies_ = 0;
    bool hangingUp_ = false;
    std::uint32_t noise_;
    std::uint32_t mixState_;
    std::FILE* record_;
    Fault fault_ = Fault::None; // mixed mode: the fault of the request being received
    int faultArg_ = 0;
    Chatter chatter_;
    int chatterQueued_ = 0;       // other modules' bytes not yet on the line
    std::int64_t chatterEnd_ = 0; // when the last of them left
    bool collided_ = false;       // the request being received overlapped them
    bool inRequest_ = false;
};

// Other modules' frames join the line when due; a request they overlap is lost.
void Simulator::QueueChatter(std::int64_t now)
{
    // Nobody reading: the talk goes nowhere rather than filling the line
    // until a write blocks the simulator.
    const std::vector<Chatter::Frame> due = chatter_.Due(now);
    const int pending = PendingForReader(end_);
    if (pending > 512 || queue_.size() > 512)
        return;
    for (const Chatter::Frame& f : due) {
        if (inRequest_)
            collided_ = true;
        for (std::size_t i = 0; i < f.bytes.size(); ++i)
            queue_.push_back({f.bytes[i], i == 0 ? f.gapNs : 0, now, true});
        chatterQueued_ += static_cast<int>(f.bytes.size());
    }
}

void Simulator::DrawFault()
{
    fault_ = Fault::None;
    if (o_.mixPercent <= 0 || Draw(100) >= static_cast<std::uint32_t>(o_.mixPercent))
        return;
    fault_ = static_cast<Fault>(1 + Draw(7));
    switch (fault_) {
    case Fault::ShortEcho: faultArg_ = static_cast<int>(Draw(4)) + 1; break; // 1..4 of 5
    // at least one body byte: a reply cut right after its header holds the
    // reader for its whole body timeout (10 ms a byte plus 50 ms), which is
    // tried on its own with --short 0
    case Fault::Short: faultArg_ = 1 + static_cast<int>(Draw(static_cast<std::uint32_t>(o_.dataLength))); break;
    case Fault::Length: {
        const int v = static_cast<int>(Draw(85 + 43)); // 0..84 or 213..255
        faultArg_ = v < 85 ? v : 213 + (v - 85);
        break;
    }
    case Fault::Garbage: faultArg_ = 1 + static_cast<int>(Draw(20)); break;
    default: break;
    }
}

void Simulator::Record(const char* kind, const std::vector<std::uint8_t>& reply)
{
    if (!record_)
        return;
    std::fprintf(record_, "%ld %s", replies_, kind);
    for (std::uint8_t b : reply)
        std::fprintf(record_, " %02X", b);
    std::fputc('\n', record_);
    std::fflush(record_);
}

void Simulator::Received(std::uint8_t b, std::int64_t now)
{
    const FedByte fed = parser_.Feed(b, now / 1000000);
    if (chatter_.On()) {
        if (fed.position == 0)
            collided_ = false;
        if (chatterQueued_ > 0 || now < chatterEnd_ + byteNs_)
            collided_ = true;
        inRequest_ = !fed.complete;
    }
    const long frameNo = requests_ + 1;
    const bool mixed = o_.mixPercent >= 0;
    if (mixed && fed.position == 0)
        DrawFault();
    const bool faulty = mixed ? fault_ != Fault::None : frameNo % o_.faultEvery == 0;
    const bool noEcho = mixed ? fault_ == Fault::NoEcho : o_.noEcho;
    const int shortEcho = mixed ? (fault_ == Fault::ShortEcho ? faultArg_ : -1) : o_.shortEcho;
    const bool wrongEcho = mixed ? fault_ == Fault::WrongEcho : o_.wrongEcho;
    bool echo = !(faulty && noEcho);
    if (faulty && shortEcho >= 0 && fed.position >= shortEcho)
        echo = false;
    if (echo) {
        std::uint8_t e = b;
        if (fed.complete && faulty && wrongEcho)
            e = static_cast<std::uint8_t>(~e);
        queue_.push_back({e, 0, now});
    }
    if (!fed.complete)
        return;
    ++requests_;
    if (!o_.quiet)
        std::fprintf(stderr, "ecmsim: request %ld of %zu bytes%s\n", requests_, fed.frame.size(),
                     fed.good ? "" : ", bad checksum, ignored");
    if (fed.good && chatter_.On()) {
        if (collided_) {
            if (!o_.quiet)
                std::fprintf(stderr, "ecmsim: request %ld collided with other modules' frames\n", requests_);
            return;
        }
        std::vector<std::uint8_t> answer;
        if (chatter_.Heard(fed.frame, now, answer)) {
            for (std::size_t i = 0; i < answer.size(); ++i)
                queue_.push_back({answer[i], i == 0 ? static_cast<std::int64_t>(o_.replyDelayMs * 1000000) : 0, now, true});
            chatterQueued_ += static_cast<int>(answer.size());
            return;
        }
    }
    if (fed.good)
        Answer(fed.frame, faulty, now);
}

void Simulator::Answer(const std::vector<std::uint8_t>& frame, bool faulty, std::int64_t now)
{
    if (frame[0] != o_.id || frame.size() < 4)
        return;
    const std::uint8_t mode = frame[2];
    std::vector<std::uint8_t> reply;
    if (mode == 1) {
        reply = BuildReply(o_.id, 1, model_.Data(o_.dataLength));
        model_.Advance(o_.tickMs / 1000);
        model_.NextFrame();
    } else {
        reply = BuildReply(o_.id, mode, {});
    }
    const bool mixed = o_.mixPercent >= 0;
    const int lengthByte = mixed ? (fault_ == Fault::Length ? faultArg_ : -1) : o_.lengthByte;
    const int shortBody = mixed ? (fault_ == Fault::Short ? faultArg_ : -1) : o_.shortBody;
    const int garbage = mixed ? (fault_ == Fault::Garbage ? faultArg_ : 0) : o_.garbage;
    const bool drop = mixed ? fault_ == Fault::Drop : o_.drop;
    if (faulty) {
        if (lengthByte >= 0) {
            reply[1] = static_cast<std::uint8_t>(lengthByte);
            reply.back() = ChecksumOf(reply.data(), reply.size() - 1);
        }
        if (shortBody >= 0 && reply.size() > 3u + shortBody)
            reply.resize(3u + shortBody);
        if (garbage > 0) {
            std::vector<std::uint8_t> junk(static_cast<std::size_t>(garbage));
            for (auto& j : junk)
                j = Noise();
            // mixed faults must be told apart by the reader: a second byte
            // that is no valid length makes the header read fail
            if (mixed && junk.size() >= 2 && junk[1] >= 85 && junk[1] <= 212)
                junk[1] = static_cast<std::uint8_t>(junk[1] % 85);
            reply.insert(reply.begin(), junk.begin(), junk.end());
        }
        if (drop)
            reply.clear();
    }
    const std::int64_t delay = static_cast<std::int64_t>(o_.replyDelayMs * 1000000);
    for (std::size_t i = 0; i < reply.size(); ++i)
        queue_.push_back({reply[i], i == 0 ? delay : 0, now});
    ++replies_;
    const bool fixedFault = faulty && (o_.noEcho || o_.shortEcho >= 0 || o_.wrongEcho || o_.drop
                                       || o_.shortBody >= 0 || o_.lengthByte >= 0 || o_.garbage > 0);
    Record(mixed ? FaultNames[static_cast<int>(fault_)] : fixedFault ? "fault" : "good", reply);
    if (o_.hangupAfter && replies_ >= o_.hangupAfter)
        hangingUp_ = true;
    if (o_.mixHangup && Draw(static_cast<std::uint32_t>(o_.mixHangup)) == 0)
        hangingUp_ = true;
    if (hangingUp_ && record_) {
        std::fprintf(record_, "%ld hangup\n", replies_);
        std::fflush(record_);
    }
}

// Writes every byte that is due; false when the line failed.
bool Simulator::Flush(std::int64_t now)
{
    std::vector<std::uint8_t> out;
    while (!queue_.empty() && DueOf(queue_.front()) <= now) {
        lineFree_ = DueOf(queue_.front());
        if (queue_.front().chatter) {
            --chatterQueued_;
            chatterEnd_ = lineFree_;
        }
        out.push_back(queue_.front().byte);
        queue_.pop_front();
    }
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = write(end_.fd, out.data() + done, out.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{end_.fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

int Simulator::Run()
{
    sigset_t none;
    sigemptyset(&none);
    std::int64_t lastTurn = NowNs();
    while (!stopRequested) {
        std::int64_t now = NowNs();
        // A recorded run notes when this process did not get the processor
        // for a while: a reply may then have come too late for the reader.
        if (record_ && now - lastTurn > StallNs) {
            std::fprintf(record_, "%ld stall %lld\n", replies_, static_cast<long long>((now - lastTurn) / 1000000));
            std::fflush(record_);
        }
        lastTurn = now;
        if (chatter_.On() && !hangingUp_)
            QueueChatter(now);
        if (!Flush(now)) {
            std::fprintf(stderr, "ecmsim: line write failed: %s\n", std::strerror(errno));
            return 1;
        }
        if (hangingUp_ && queue_.empty())
            break;
        timespec wait{};
        timespec* waitPtr = nullptr;
        if (!queue_.empty() || record_ || chatter_.On()) {
            std::int64_t left = queue_.empty() ? TurnNs : DueOf(queue_.front()) - NowNs();
            const std::int64_t talk = chatter_.NextDueNs(NowNs());
            if (talk >= 0 && (queue_.empty() || talk < left))
                left = talk;
            if (left < 0)
                left = 0;
            if (record_ && left > TurnNs)
                left = TurnNs; // wake often enough to notice a stall
            wait.tv_sec = left / 1000000000;
            wait.tv_nsec = left % 1000000000;
            waitPtr = &wait;
        }
        pollfd p{end_.fd, static_cast<short>(hangingUp_ ? 0 : POLLIN), 0};
        int r = ppoll(&p, 1, waitPtr, &none);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "ecmsim: poll failed: %s\n", std::strerror(errno));
            return 1;
        }
        if (r == 0 || hangingUp_)
            continue;
        std::uint8_t buf[512];
        ssize_t n = read(end_.fd, buf, sizeof buf);
        if (n > 0) {
            now = NowNs();
            for (ssize_t i = 0; i < n && !hangingUp_; ++i)
                Received(buf[i], now);
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            std::fprintf(stderr, "ecmsim: line closed: %s\n", n == 0 ? "end of file" : std::strerror(errno));
            return 1;
        }
    }
    if (hangingUp_ && !stopRequested) {
        // Bytes the reader has not taken vanish when a pseudo-terminal's
        // master closes, so wait (bounded) until it has drained the line.
        // The pty hands written bytes on asynchronously, so "nothing pending"
        // must hold for a while before it is believed.
        const std::int64_t give = NowNs() + 10LL * 1000000000;
        std::int64_t quietSince = NowNs();
        while (!stopRequested && NowNs() < give) {
            const std::int64_t now = NowNs();
            if (PendingForReader(end_) > 0)
                quietSince = now;
            else if (now - quietSince >= 30000000)
                break;
            timespec ms{0, 1000000};
            ppoll(nullptr, 0, &ms, &none); // lets a stop signal in
        }
        if (!o_.quiet)
            std::fprintf(stderr, "ecmsim: hanging up after %ld replies\n", replies_);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    int rc = ParseOptions(argc, argv, o);
    if (rc)
        return rc == 1 ? 0 : 2;

    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    // signals arrive only inside ppoll, so a stop is never missed between
    // the flag test and the wait
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGHUP);
    sigprocmask(SIG_BLOCK, &block, nullptr);

    LineEnd end;
    bool opened = o.device.empty() ? OpenPty(end) : OpenDevice(o.device, o.baud, end);
    if (!opened) {
        std::fprintf(stderr, "ecmsim: cannot open %s: %s\n",
                     o.device.empty() ? "a pseudo-terminal" : o.device.c_str(), std::strerror(errno));
        return 1;
    }
    std::string link;
    if (o.com) {
        const std::string dir = LinkDir();
        link = dir + "/COM" + std::to_string(o.com);
        if (!MakeDirs(dir) || !CreateLink(link, end.slavePath)) {
            std::fprintf(stderr, "ecmsim: cannot create the link %s: %s\n", link.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::printf("READY %s\n", end.slavePath.c_str());
    std::fflush(stdout);
    if (!o.quiet)
        std::fprintf(stderr, "ecmsim: answering on %s%s%s\n", end.slavePath.c_str(),
                     link.empty() ? "" : " as ", link.c_str());

    std::FILE* record = nullptr;
    if (!o.record.empty() && !(record = std::fopen(o.record.c_str(), "a"))) {
        std::fprintf(stderr, "ecmsim: cannot open %s: %s\n", o.record.c_str(), std::strerror(errno));
        if (!link.empty())
            RemoveLinkIfOurs(link, end.slavePath);
        return 1;
    }
    Simulator sim(o, end, record);
    rc = sim.Run();
    if (record)
        std::fclose(record);
    if (!link.empty())
        RemoveLinkIfOurs(link, end.slavePath);
    close(end.fd);
    if (end.slaveFd >= 0)
        close(end.slaveFd);
    return rc;
}
