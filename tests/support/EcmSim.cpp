#include "tests/support/EcmSim.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#ifndef ECMSIM_PATH
#error "ECMSIM_PATH must name the ecmsim binary"
#endif

namespace {

long long NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

} // namespace

std::string EcmSim::Binary()
{
    return ECMSIM_PATH;
}

EcmSim::EcmSim(std::vector<std::string> options, int com) : com_(com)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/ecmsim-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("EcmSim: mkdtemp failed: " + std::string(std::strerror(errno)));
    dir_ = buf.data();

    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadXdg_ = old != nullptr;
    if (old)
        oldXdg_ = old;
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        Stop();
        throw std::runtime_error("EcmSim: pipe failed");
    }
    std::vector<std::string> args = {Binary(), "--com", std::to_string(com), "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    if (pid_ < 0) {
        close(out[0]);
        Stop();
        throw std::runtime_error("EcmSim: fork failed");
    }

    // Wait for "READY <device>\n"; the link exists once it is printed.
    std::string line;
    const long long deadline = NowMs() + 5000;
    while (line.find('\n') == std::string::npos) {
        long long left = deadline - NowMs();
        pollfd p{out[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char c[256];
        ssize_t n = read(out[0], c, sizeof c);
        if (n <= 0)
            break;
        line.append(c, static_cast<std::size_t>(n));
    }
    close(out[0]);
    if (line.rfind("READY ", 0) != 0 || line.find('\n') == std::string::npos) {
        Stop();
        throw std::runtime_error("EcmSim: the simulator did not get ready (" + line + ")");
    }
    device_ = line.substr(6, line.find('\n') - 6);
}

int EcmSim::WaitExit(int timeoutMs)
{
    if (pid_ <= 0)
        return status_;
    const long long deadline = NowMs() + timeoutMs;
    for (;;) {
        int st = 0;
        pid_t r = waitpid(pid_, &st, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            return status_;
        }
        if (r < 0 || NowMs() >= deadline)
            return -1;
        usleep(2000);
    }
}

int EcmSim::Stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        if (WaitExit(2000) < 0 && pid_ > 0) {
            kill(pid_, SIGKILL);
            int st = 0;
            waitpid(pid_, &st, 0);
            pid_ = -1;
            status_ = 128 + SIGKILL;
        }
    }
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        dir_.clear();
        if (hadXdg_)
            setenv("XDG_CONFIG_HOME", oldXdg_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    return status_;
}

EcmSim::~EcmSim()
{
    Stop();
}
