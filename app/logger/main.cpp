// diduvuve-logger: a headless black box. Reads live frames exactly as a
// "Read Serial ALDL" run of the window with the same definition would, and
// writes every good frame to an .alg log the window can replay.
#include "app/logger/BlackBox.h"
#include "app/logger/Options.h"
#include "app/logger/Reporter.h"
#include "app/logger/Rotation.h"
#include "definitions/Definition.h"
#include "link/ReadLoop.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string BaseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Fail(const std::string& what, const std::string& why)
{
    std::fprintf(stderr, "diduvuve-logger: %s: %s\n", what.c_str(), why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    LoggerOptions o;
    if (const auto done = ParseOptions(argc, argv, o)) return *done;

    TDefinition def;
    std::string error;
    if (!LoadDefinitionFile(o.definition, def, error)) return Fail(o.definition, error);
    struct stat dirStat {};
    const int statError = ::stat(o.outDir.c_str(), &dirStat) != 0 ? errno : 0;
    if (statError || !S_ISDIR(dirStat.st_mode)) return Fail(o.outDir, std::strerror(statError ? statError : ENOTDIR));
    TBusLink bus(LoadLinkSettings(o.definition));
    TReadLoop loop(bus, o.com > 0 ? o.com : def.Port(), SplitRequests(def.RequestText()), def.EchoOn(), def.IntervalMs());

    // SIGINT and SIGTERM are taken only between exchanges, so the exchange
    // in progress always finishes and the file closes whole.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Reporter report;
    if (!loop.Begin(error)) return Fail(loop.PortName(), error);
    if (!loop.PortOpen()) report.Note(loop.Waiting());

    BlackBox box;
    Rotation rotation(box, o.outDir, o.rotateMs);
    if (!rotation.Start(loop.StartMs(), error)) return Fail(o.outDir, error);

    auto statusText = [&]() {
        const TReadCounts& c = loop.Counts();
        char text[512];
        std::snprintf(text, sizeof text,
                      "%.1f frames/s, %lld good; failed: %lld link, %lld echo differs, %lld no echo, "
                      "%lld no header, %lld bad length; %lld bad checksums; %s",
                      c.Rate, static_cast<long long>(c.Good), static_cast<long long>(c.Failed[0]),
                      static_cast<long long>(c.Failed[1]), static_cast<long long>(c.Failed[2]),
                      static_cast<long long>(c.Failed[3]), static_cast<long long>(c.Failed[4]),
                      static_cast<long long>(c.BadSums), BaseName(box.Name()).c_str());
        std::string s = text;
        if (bus.Active()) s += "; chatter " + std::to_string(bus.Skipped());
        if (!loop.PortOpen()) s += "; " + loop.Waiting();
        return s;
    };

    std::int64_t lastPeriodic = loop.StartMs();
    TReadHooks hooks;
    hooks.Turn = [&](std::int64_t now) {
        if (rotation.Turn(now, error)) return true;
        Fail(o.outDir, error);
        return false;
    };
    hooks.Frame = [&](const TLiveFrame& f, const FrameBuffer& frame) { box.Write(f.Stamp, frame, f.Count); };
    hooks.Link = [&](bool back) {
        report.Note(back ? loop.PortName() + " is back; logging goes on in " + box.Name() : loop.Waiting());
    };
    hooks.Second = [&](std::int64_t now) {
        if (now - lastPeriodic < report.PeriodMs()) return;
        report.Line(statusText());
        lastPeriodic = now;
    };
    hooks.Pause = [&](std::int64_t ms) {
        timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        const int sig = sigtimedwait(&stopSignals, nullptr, &ts);
        return sig == SIGINT || sig == SIGTERM;
    };

    int status = 0;
    try {
        if (!loop.Run(o.frames, hooks)) status = 1;
    } catch (const std::exception& e) {
        report.Note("diduvuve-logger: " + box.Name() + ": " + e.what());
        status = 1;
    }
    loop.End();
    report.Line(statusText());
    report.Finish();
    box.Close();
    return status;
}
