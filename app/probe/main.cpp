// diduvuve-probe: listens to the line, tests the cable's echo, tries to
// silence other modules and asks the usual ECM IDs for their data, then says
// what it found; --write puts the findings into a definition.
#include "app/CliCommon.h"
#include "definitions/Persist.h"
#include "link/Probe.h"
#include "serilink/serilink.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

const char* const kMode = "baud=8192 parity=N data=8 stop=1";

// A device path is opened as COM1 of a private serial link folder, which is
// gone again once the port is open.
bool OpenPath(const std::string& path)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/diduvuve-probe-XXXXXX";
    if (!::mkdtemp(pattern.data())) return false;
    std::error_code ec;
    std::filesystem::create_directories(pattern + "/serilink", ec);
    std::filesystem::create_symlink(std::filesystem::absolute(path, ec), pattern + "/serilink/COM1", ec);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
    const bool ok = scInit(1, kMode) >= 0;
    if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(pattern, ec);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Tells what is on the ALDL line: the cable's echo, other modules' chatter and\n"
                 "its heartbeat, whether the bus can be silenced, and which ECM answers.",
                 "diduvuve-probe"};
    CliSetup(app, "Usage: diduvuve-probe [--com N | --port PATH] [--listen SECONDS] [--write DEF.ald]\n");
    int com = 1;
    std::string port, write;
    double listen = 3;
    auto* comOpt = app.add_option("--com", com, "serial port COMN (default 1)")->option_text("N")->check(CLI::Range(1, 255));
    app.add_option("--port", port, "the serial device at PATH instead")->option_text("PATH")->excludes(comOpt);
    app.add_option("--listen", listen, "seconds to listen first (default 3)")
        ->option_text("SECONDS")
        ->check(CliRange(0.1, 600));
    app.add_option("--write", write, "put the findings into this definition (echo, request ID,\n[LINK])")
        ->option_text("DEF.ald");
    app.footer("Exit status: 0 an ECM answered, 1 none did (or the port could not be opened),\n"
               "2 bad usage or a definition that cannot be read.");
    if (const auto done = CliParse(app, argc, argv)) return *done;
    TLxPersist store;
    if (!write.empty()) {
        store.FileName = write;
        if (!std::filesystem::is_regular_file(write) || !store.ReloadFile()) {
            std::fprintf(stderr, "diduvuve-probe: %s: cannot be read\n", write.c_str());
            return 2;
        }
    }

    // A stop signal ends the probe between its steps; the bus is let talk
    // again all the same.
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const bool opened = port.empty() ? scInit(com, kMode) >= 0 : OpenPath(port);
    if (!opened || scTimeOut(20, 10, 50) < 0) {
        std::fprintf(stderr, "diduvuve-probe: %s: %s\n", port.empty() ? ("COM" + std::to_string(com)).c_str() : port.c_str(),
                     scErrText());
        scDone();
        return 1;
    }
    TProbeHooks hooks;
    hooks.Cancelled = [] { return stopRequested != 0; };
    const bool tty = ::isatty(STDERR_FILENO) == 1;
    hooks.Progress = [tty](const std::string& text) {
        if (tty) std::fprintf(stderr, "%s...\n", text.c_str());
    };
    const TProbeReport report = RunProbe(static_cast<int>(listen * 1000), hooks);
    scDone();
    std::fputs(report.Text().c_str(), stdout);
    std::fflush(stdout);
    if (stopRequested) return 1;
    if (!write.empty()) {
        ApplyProbe(report, store);
        if (!store.SaveFile(write)) {
            std::fprintf(stderr, "diduvuve-probe: %s: cannot be written\n", write.c_str());
            return 1;
        }
    }
    return report.EcmId >= 0 ? 0 : 1;
}
