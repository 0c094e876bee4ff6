/* POSIX stand-ins for the Windows serial calls: the device is found from the
 * port number, opened exclusively, and read and written with poll so that
 * the Windows timeout fields keep their meaning. */
#include "serilink/serilink.h"
#include "serilink/sc_internal.h"
#include "serilink/sc_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#define SC_MAXDWORD 0xFFFFFFFFu

typedef struct {
    uint32_t readInterval, readMultiplier, readConstant;
    uint32_t writeMultiplier, writeConstant;
} ScTimeouts;

static int portFd = -1;
static ScTimeouts timeouts;

static void setErrorErrno(int32_t code, int err)
{
    scSetErrorWith(code, err ? strerror(err) : "");
}

void scSetError(int32_t code)
{
    setErrorErrno(code, errno);
}

static int64_t nowMs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

/* "COMn": a link in the user's config folder first, then the usual device
 * names. A config link counts even when it dangles, so a stale link is
 * reported rather than silently passed over. */
static int resolvePort(int32_t port, char* path, size_t size)
{
    if (port < 1) {
        errno = ENOENT;
        return -1;
    }
    struct stat st;
    const char* xdg = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    if (xdg && xdg[0] == '/')
        snprintf(path, size, "%s/serilink/COM%d", xdg, (int)port);
    else if (home && *home)
        snprintf(path, size, "%s/.config/serilink/COM%d", home, (int)port);
    else
        path[0] = '\0';
    if (path[0] && lstat(path, &st) == 0)
        return 0;
    snprintf(path, size, "/dev/ttyUSB%d", (int)port - 1);
    if (stat(path, &st) == 0)
        return 0;
    snprintf(path, size, "/dev/ttyS%d", (int)port - 1);
    if (stat(path, &st) == 0)
        return 0;
    errno = ENOENT;
    return -1;
}

/* USB adapters hold received bytes for a latency timer (16 ms on FTDI)
 * before passing them on, so a reply arrives in lumps close to the 20 ms
 * gap that ends a read, and frames are lost. Low latency makes the FTDI
 * driver use 1 ms. Drivers without the request (a pseudo-terminal, many
 * other chips) refuse it; that is not a fault and leaves errno alone. */
static void askLowLatency(int fd)
{
#if defined(__linux__) && defined(ASYNC_LOW_LATENCY)
    int saved = errno;
    struct serial_struct ss;
    if (ioctl(fd, TIOCGSERIAL, &ss) == 0 && !(ss.flags & ASYNC_LOW_LATENCY)) {
        ss.flags |= ASYNC_LOW_LATENCY;
        (void)ioctl(fd, TIOCSSERIAL, &ss);
    }
    errno = saved;
#else
    (void)fd;
#endif
}

static void closePort(void)
{
    if (portFd >= 0) {
        int saved = errno;
        close(portFd);
        errno = saved;
        portFd = -1;
    }
}

SC_API int32_t SC_CALL scInit(int32_t port, const char* mode)
{
    char path[4096];
    closePort();
    if (!mode || strlen(mode) >= SC_MODE_SIZE) {
        setErrorErrno(SC_ERR_BUILD_DCB, EINVAL);
        return -1;
    }
    memcpy(scModeText, mode, strlen(mode) + 1);
    snprintf(scDeviceName, sizeof scDeviceName, "COM%d:", (int)port);

    if (resolvePort(port, path, sizeof path) != 0) {
        scSetError(SC_ERR_OPEN);
        return -1;
    }
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        scSetError(SC_ERR_OPEN);
        return -1;
    }
    /* no sharing: the lock holds against every other opener, root included,
     * which TIOCEXCL alone does not */
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        setErrorErrno(SC_ERR_OPEN, err);
        return -1;
    }
    (void)ioctl(fd, TIOCEXCL);
    portFd = fd;

    /* The queues are the driver's own here; there is nothing to size. */
    ScLine line;
    if (scLineRead(fd, &line) != 0) {
        scSetError(SC_ERR_GET_STATE);
        return -1;
    }
    if (scParseMode(scModeText, &line) != 0) {
        setErrorErrno(SC_ERR_BUILD_DCB, EINVAL);
        return -1;
    }
    if (scLineWrite(fd, &line) != 0) {
        scSetError(SC_ERR_SET_STATE);
        return -1;
    }
    /* DTR and RTS control disabled: both lines dropped. Not every device
     * has them (a pseudo-terminal has none), so a refusal is not a fault. */
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIC, &lines);
    askLowLatency(fd);
    /* bytes left from before the open are not part of this session */
    (void)tcflush(fd, TCIFLUSH);

    if (scTimeOut(5, 1, 10) != 0) {
        printf("Error %d: %s\n", (int)errCode, errText);
        fflush(stdout);
        return -1;
    }
    return 0;
}

SC_API int32_t SC_CALL scDone(void)
{
    if (portFd < 0) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    closePort();
    return 0;
}

SC_API int32_t SC_CALL scTimeOut(uint32_t interval, uint32_t multiplier, uint32_t constant)
{
    if (portFd < 0) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    if (fcntl(portFd, F_GETFL) == -1) {
        scSetError(SC_ERR_GET_TIMEOUTS);
        return -1;
    }
    timeouts.readInterval = interval;
    timeouts.readMultiplier = multiplier;
    timeouts.readConstant = constant;
    timeouts.writeMultiplier = 10;
    timeouts.writeConstant = 100;
    return 0;
}

/* Waits for fd to become ready until the deadline (ms, monotonic; -1 none).
 * 1 ready (revents in *rev), 0 timed out, -1 error with errno. */
static int waitFd(short events, int64_t deadline, short* rev)
{
    for (;;) {
        int wait = -1;
        if (deadline >= 0) {
            int64_t left = deadline - nowMs();
            /* Past the deadline one last look without waiting: a process
             * kept off the processor must not miss bytes that came in time. */
            wait = left <= 0 ? 0 : left > 1000000 ? 1000000 : (int)left;
        }
        struct pollfd p = {portFd, events, 0};
        int r = poll(&p, 1, wait);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (r == 0) {
            if (wait == 0)
                return 0;
            continue; /* the loop checks the deadline again */
        }
        if (p.revents & POLLNVAL) {
            errno = EBADF;
            return -1;
        }
        *rev = p.revents;
        return 1;
    }
}

static int64_t minDeadline(int64_t a, int64_t b)
{
    if (a < 0)
        return b;
    if (b < 0)
        return a;
    return a < b ? a : b;
}

SC_API int32_t SC_CALL scRead(uint8_t* buf, uint32_t count)
{
    if (portFd < 0) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    const ScTimeouts t = timeouts;
    int64_t start = nowMs();
    int64_t total = -1;      /* deadline of the whole read */
    int returnAtOnce = 0;    /* return with whatever is there */
    int firstByteEnds = 0;   /* return as soon as anything arrived */
    if (t.readInterval == SC_MAXDWORD && t.readMultiplier == 0 && t.readConstant == 0) {
        returnAtOnce = 1;
    } else if (t.readInterval == SC_MAXDWORD && t.readMultiplier == SC_MAXDWORD
               && t.readConstant != 0 && t.readConstant != SC_MAXDWORD) {
        firstByteEnds = 1;
        total = start + t.readConstant;
    } else if (t.readMultiplier || t.readConstant) {
        total = start + (int64_t)t.readMultiplier * count + t.readConstant;
    }
    int useInterval = t.readInterval != 0 && t.readInterval != SC_MAXDWORD;

    uint32_t got = 0;
    int64_t lastByte = 0;
    while (got < count) {
        int64_t deadline = total;
        if (returnAtOnce)
            deadline = nowMs(); /* one look without waiting */
        if (useInterval && got > 0)
            deadline = minDeadline(deadline, lastByte + t.readInterval);
        short rev = 0;
        int w = returnAtOnce ? 1 : waitFd(POLLIN, deadline, &rev);
        if (w == 0)
            break;
        if (w < 0) {
            if (got > 0)
                break;
            scSetError(SC_ERR_READ);
            return -1;
        }
        ssize_t n = read(portFd, buf + got, count - got);
        if (n > 0) {
            got += (uint32_t)n;
            lastByte = nowMs();
            if (firstByteEnds)
                break;
            continue;
        }
        int err = errno;
        if (n < 0 && (err == EAGAIN || err == EINTR)) {
            if (returnAtOnce)
                break;
            if (!(rev & (POLLHUP | POLLERR)))
                continue;
            err = EIO;
        }
        /* read() of 0 on a terminal, or a hang-up reported by poll: the
         * device has gone. Bytes already here are delivered; the next call
         * reports the failure. */
        if (n == 0)
            err = EIO;
        if (got > 0)
            break;
        setErrorErrno(SC_ERR_READ, err);
        return -1;
    }
    if (got == 0) {
        scSetNoData();
        return -1;
    }
    return (int32_t)got;
}

SC_API int32_t SC_CALL scWrite(const uint8_t* buf, uint32_t count)
{
    if (portFd < 0) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    int64_t deadline = nowMs() + (int64_t)timeouts.writeMultiplier * count + timeouts.writeConstant;
    uint32_t sent = 0;
    while (sent < count) {
        ssize_t n = write(portFd, buf + sent, count - sent);
        if (n > 0) {
            sent += (uint32_t)n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            scSetError(SC_ERR_WRITE);
            return -1;
        }
        short rev = 0;
        int w = waitFd(POLLOUT, deadline, &rev);
        if (w == 0)
            break;
        if (w < 0) {
            scSetError(SC_ERR_WRITE);
            return -1;
        }
    }
    return (int32_t)sent;
}
