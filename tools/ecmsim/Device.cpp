// termios2 lives here alone: its header clashes with <termios.h>.
#include "tools/ecmsim/Device.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {

bool MakeRaw(int fd, std::uint32_t baud)
{
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_iflag = 0;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag = CS8 | CREAD | CLOCAL;
    if (baud) {
        t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
        t.c_ispeed = t.c_ospeed = baud;
    } else {
        t.c_cflag |= B9600 | (B9600 << IBSHIFT);
    }
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &t) == 0;
}

int Pending(int fd)
{
    int n = 0;
    return ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
}

} // namespace
#else
#include <sys/ioctl.h>
#include <termios.h>

namespace {

bool MakeRaw(int fd, std::uint32_t baud)
{
    struct termios t;
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag |= CREAD | CLOCAL;
    if (baud)
        cfsetspeed(&t, static_cast<speed_t>(baud));
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

int Pending(int fd)
{
    int n = 0;
    return ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
}

} // namespace
#endif

bool OpenPty(LineEnd& end)
{
    int m = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0)
        return false;
    if (grantpt(m) != 0 || unlockpt(m) != 0) {
        int e = errno;
        close(m);
        errno = e;
        return false;
    }
    const char* name = ptsname(m);
    int s = name ? open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK) : -1;
    // cooked mode would echo our own replies back to us and hold lines
    if (s < 0 || !MakeRaw(s, 0)) {
        int e = errno;
        if (s >= 0)
            close(s);
        close(m);
        errno = e;
        return false;
    }
    fcntl(m, F_SETFL, fcntl(m, F_GETFL) | O_NONBLOCK);
    end.fd = m;
    end.slaveFd = s;
    end.slavePath = name;
    return true;
}

bool OpenDevice(const std::string& path, std::uint32_t baud, LineEnd& end)
{
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    if (!MakeRaw(fd, baud ? baud : 8192)) {
        int e = errno;
        close(fd);
        errno = e;
        return false;
    }
    end.fd = fd;
    end.slavePath = path;
    return true;
}

int PendingForReader(const LineEnd& end)
{
    if (end.slaveFd >= 0)
        return Pending(end.slaveFd);
    // a real line: what is still in our own output queue
    int n = 0;
    return ioctl(end.fd, TIOCOUTQ, &n) == 0 ? n : -1;
}
