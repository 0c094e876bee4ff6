// The headless logger against the paced simulator at interval 0: good
// frames per second against the line limit (target at least 0.97 of it),
// and the logger's own CPU time per frame (target under 2% of one core).
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
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

void BM_LoggerAgainstPacedSimulator(benchmark::State& state)
{
    const char* t = std::getenv("TMPDIR");
    std::string dir = std::string(t && *t ? t : "/tmp") + "/benchlogger-XXXXXX";
    if (!::mkdtemp(dir.data())) throw std::runtime_error("mkdtemp failed");
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    // The simulator's definition with no pause between requests.
    std::ifstream in(EXAMPLES_DIR "/ecmsim.ald", std::ios::binary);
    std::string def((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    def.replace(def.find("\"F4 57 01 00\",5,"), 16, "\"F4 57 01 00\",0,");
    std::ofstream(dir + "/zero.ald", std::ios::binary) << def;

    int pipeFd[2];
    if (pipe(pipeFd) != 0) throw std::runtime_error("pipe failed");
    const pid_t sim = Spawn({ECMSIM_PATH, "--com", std::to_string(kCom), "--quiet", "--reply-delay", "0"}, pipeFd[1]);
    close(pipeFd[1]);
    char ready[256] = {};
    pollfd p{pipeFd[0], POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0 || read(pipeFd[0], ready, sizeof ready - 1) <= 0) state.SkipWithError("no simulator");

    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t logger = Spawn({LOGGER_PATH, "--com", std::to_string(kCom), "--out", dir, "--frames",
                                    std::to_string(kFrames), dir + "/zero.ald"},
                                   -1);
        int status = 0;
        rusage use {};
        wait4(logger, &status, 0, &use);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(wall);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the logger failed");
        const double cpu = static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
                           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
        // Steady rate from the log's own stamps, start-up left out.
        double fps = kFrames / wall;
        for (auto& e : std::filesystem::directory_iterator(dir)) {
            if (e.path().extension() != ".alg") continue;
            std::ifstream log(e.path());
            std::string line;
            long first = -1, last = -1, lines = 0;
            while (std::getline(log, line)) {
                last = std::stol(line.substr(0, line.find(',')));
                if (first < 0) first = last;
                ++lines;
            }
            if (lines > 1 && last > first) fps = (lines - 1) * 1000.0 / static_cast<double>(last - first);
            std::filesystem::remove(e.path());
        }
        state.counters["frames/s with start-up"] = kFrames / wall;
        state.counters["frames/s"] = fps;
        state.counters["line limit"] = kLineLimit;
        state.counters["ratio"] = fps / kLineLimit;
        state.counters["cpu us/frame"] = cpu / kFrames * 1e6;
        state.counters["cpu %"] = 100.0 * cpu / wall;
    }
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    close(pipeFd[0]);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoggerAgainstPacedSimulator)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
