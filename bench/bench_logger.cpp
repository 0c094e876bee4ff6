// The headless logger against the paced simulator at interval 0: good
// frames per second against the line limit (target at least 0.97 of it),
// and the logger's own CPU time per frame (target under 2% of one core).
// Then the same ECM on a bus where the VT body module talks, read with the
// link settings of examples/holden-vt-vy-link.ald, against it on a quiet
// bus (target: at least 0.9 of the quiet rate).
#include "bench/BenchFiles.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

constexpr int kCom = 41;
constexpr int kFrames = 120;
// Bytes on the one-wire line per frame: the request with its checksum (which
// is also its echo), header 3, 56 data bytes and the checksum; 10 bits a
// byte at 8192 baud. The simulator answers at once, as the exchange benchmark's.
constexpr double kLineBytes = 5 + 3 + 57;
constexpr double kLineLimit = 8192.0 / 10.0 / kLineBytes;

pid_t Spawn(std::vector<std::string> args, int out)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (out >= 0) dup2(out, STDOUT_FILENO);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The simulator on COM<kCom> of `folder` while this lives.
class Simulator {
public:
    Simulator(const TempFolder& folder, std::vector<std::string> options)
    {
        setenv("XDG_CONFIG_HOME", folder.dir.c_str(), 1);
        int pipeFd[2];
        if (pipe(pipeFd) != 0) throw std::runtime_error("pipe failed");
        options.insert(options.begin(), {ECMSIM_PATH, "--com", std::to_string(kCom), "--quiet"});
        pid_ = Spawn(options, pipeFd[1]);
        close(pipeFd[1]);
        fd_ = pipeFd[0];
        char ready[256] = {};
        pollfd p{fd_, POLLIN, 0};
        ready_ = poll(&p, 1, 5000) > 0 && read(fd_, ready, sizeof ready - 1) > 0;
    }
    ~Simulator()
    {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        close(fd_);
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    bool Ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    bool ready_ = false;
};

struct LoggerRun {
    bool ok = false;
    double wall = 0, cpu = 0, rate = 0; // rate: by the log's stamps
};

// The logger for `frames` good frames with `definition`; its log is removed.
LoggerRun RunLogger(const TempFolder& folder, const std::string& definition, int frames)
{
    LoggerRun run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t logger = Spawn({LOGGER_PATH, "--com", std::to_string(kCom), "--out", folder.dir, "--frames",
                                std::to_string(frames), definition},
                               -1);
    int status = 0;
    rusage use {};
    wait4(logger, &status, 0, &use);
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.cpu = static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
              static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
    run.rate = frames / run.wall;
    for (auto& e : std::filesystem::directory_iterator(folder.dir)) {
        if (e.path().extension() != ".alg") continue;
        if (const double r = LogRate(e.path().string()); r > 0) run.rate = r;
        std::filesystem::remove(e.path());
    }
    return run;
}


void BM_LoggerAgainstPacedSimulator(benchmark::State& state)
{
    TempFolder dir("benchlogger");
    const std::string def = SimulatorDefinition(dir, EXAMPLES_DIR, false);
    Simulator sim(dir, {"--reply-delay", "0"});
    if (!sim.Ready()) state.SkipWithError("no simulator");

    for (auto _ : state) {
        const LoggerRun run = RunLogger(dir, def, kFrames);
        state.SetIterationTime(run.wall);
        if (!run.ok) state.SkipWithError("the logger failed");
        state.counters["frames/s with start-up"] = kFrames / run.wall;
        state.counters["frames/s"] = run.rate;
        state.counters["line limit"] = kLineLimit;
        state.counters["ratio"] = run.rate / kLineLimit;
        state.counters["cpu us/frame"] = run.cpu / kFrames * 1e6;
        state.counters["cpu %"] = 100.0 * run.cpu / run.wall;
    }
}
BENCHMARK(BM_LoggerAgainstPacedSimulator)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Long enough for several renewals of the silence (every 2 s).
constexpr int kChatterFrames = 150;

void BM_LoggerThroughVtChatter(benchmark::State& state)
{
    TempFolder dir("benchloggervt");
    for (auto _ : state) {
        double quiet = 0, chatter = 0, wall = 0;
        {
            Simulator sim(dir, {});
            const LoggerRun run = RunLogger(dir, SimulatorDefinition(dir, EXAMPLES_DIR, false), kChatterFrames);
            if (!sim.Ready() || !run.ok) state.SkipWithError("the quiet run failed");
            quiet = run.rate;
            wall += run.wall;
        }
        {
            Simulator sim(dir, {"--chatter", "vt"});
            const LoggerRun run = RunLogger(dir, SimulatorDefinition(dir, EXAMPLES_DIR, true), kChatterFrames);
            if (!sim.Ready() || !run.ok) state.SkipWithError("the run through chatter failed");
            chatter = run.rate;
            wall += run.wall;
        }
        state.SetIterationTime(wall);
        state.counters["quiet frames/s"] = quiet;
        state.counters["chatter frames/s"] = chatter;
        state.counters["ratio"] = quiet > 0 ? chatter / quiet : 0;
    }
}
BENCHMARK(BM_LoggerThroughVtChatter)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
