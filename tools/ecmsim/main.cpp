// ecmsim: a simulated Holden ECM on the single-wire ALDL line.
#include "tools/ecmsim/ComLink.h"
#include "tools/ecmsim/Device.h"
#include "tools/ecmsim/Options.h"
#include "tools/ecmsim/Recorder.h"
#include "tools/ecmsim/Simulator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int)
{
    stopRequested = 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (const auto done = ParseOptions(argc, argv, o))
        return *done;

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
    ComLink link;
    if (o.com && !link.Create(o.com, end.slavePath)) {
        std::fprintf(stderr, "ecmsim: cannot create the link %s: %s\n", link.Path().c_str(), std::strerror(errno));
        return 1;
    }
    std::printf("READY %s\n", end.slavePath.c_str());
    std::fflush(stdout);
    if (!o.quiet)
        std::fprintf(stderr, "ecmsim: answering on %s%s%s\n", end.slavePath.c_str(),
                     link.Path().empty() ? "" : " as ", link.Path().c_str());

    int rc = 0;
    {
        Recorder record;
        if (!o.record.empty() && !record.Open(o.record)) {
            std::fprintf(stderr, "ecmsim: cannot open %s: %s\n", o.record.c_str(), std::strerror(errno));
            return 1;
        }
        Simulator sim(o, end, record);
        rc = sim.Run(stopRequested);
    }
    link.Remove();
    close(end.fd);
    if (end.slaveFd >= 0)
        close(end.slaveFd);
    return rc;
}
