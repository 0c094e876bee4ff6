#include "tests/serilink/PortFixtures.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

TempConfig::TempConfig()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/serilink-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("TempConfig: mkdtemp failed");
    dir_ = buf.data();
    mkdir((dir_ + "/serilink").c_str(), 0755);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadOld_ = old != nullptr;
    if (old)
        old_ = old;
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
}

TempConfig::~TempConfig()
{
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    if (hadOld_)
        setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

void TempConfig::Link(int com, const std::string& target) const
{
    const std::string link = dir_ + "/serilink/COM" + std::to_string(com);
    unlink(link.c_str());
    if (symlink(target.c_str(), link.c_str()) != 0)
        throw std::runtime_error("TempConfig: symlink failed");
}

RawLine::RawLine()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("RawLine: no pseudo-terminal");
    slave_ = ptsname(master_);
    // held so that the master keeps working between the port's sessions
    slave_fd_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_fd_ < 0)
        throw std::runtime_error("RawLine: cannot open the slave");
    termios t;
    tcgetattr(slave_fd_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_fd_, TCSANOW, &t);
}

RawLine::~RawLine()
{
    if (slave_fd_ >= 0)
        close(slave_fd_);
    if (master_ >= 0)
        close(master_);
}

std::string RawLine::Drain(int timeoutMs) const
{
    std::string out;
    for (;;) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
            return out;
        char buf[512];
        ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0)
            return out;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

void RawLine::Send(const std::string& bytes) const
{
    if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("RawLine: write failed");
}

int OpenFdCount()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}
