/* Line settings of an open terminal. On Linux the arbitrary speed (8192)
 * needs termios2/BOTHER, whose header clashes with <termios.h>, so this is
 * the only source that touches the terminal attributes. */
#include "serilink/sc_internal.h"
#include "serilink/sc_posix.h"

#include <errno.h>

#if defined(__linux__)

#include <asm/termbits.h>
#include <sys/ioctl.h>

int scLineRead(int fd, ScLine* line)
{
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0)
        return -1;
    line->baud = t.c_ospeed ? t.c_ospeed : 9600;
    if (!(t.c_cflag & PARENB))
        line->parity = 'N';
    else if (t.c_cflag & CMSPAR)
        line->parity = (t.c_cflag & PARODD) ? 'M' : 'S';
    else
        line->parity = (t.c_cflag & PARODD) ? 'O' : 'E';
    switch (t.c_cflag & CSIZE) {
    case CS5: line->data = 5; break;
    case CS6: line->data = 6; break;
    case CS7: line->data = 7; break;
    default: line->data = 8; break;
    }
    line->stop = (t.c_cflag & CSTOPB) ? 2 : 1;
    return 0;
}

int scLineWrite(int fd, const ScLine* line)
{
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0)
        return -1;
    /* raw: no translation, no echo, no signals, no software flow */
    t.c_iflag &= ~(tcflag_t)(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON
                             | IXOFF | IXANY | IMAXBEL | IUCLC | INPCK);
    t.c_oflag &= ~(tcflag_t)OPOST;
    t.c_lflag &= ~(tcflag_t)(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CREAD | CLOCAL;
    switch (line->data) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
    }
    switch (line->parity) {
    case 'E': t.c_cflag |= PARENB; break;
    case 'O': t.c_cflag |= PARENB | PARODD; break;
    case 'M': t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 'S': t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (line->stop != 1)
        t.c_cflag |= CSTOPB;
    t.c_cflag &= ~(tcflag_t)(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = t.c_ospeed = line->baud;
    /* reads are bounded by poll, never by the line discipline */
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (ioctl(fd, TCSETS2, &t) != 0)
        return -1;
    /* a driver that cannot do the speed may keep another one silently */
    struct termios2 back;
    if (ioctl(fd, TCGETS2, &back) != 0)
        return -1;
    uint32_t want = line->baud, got = back.c_ospeed;
    uint32_t diff = want > got ? want - got : got - want;
    if (diff > want / 50) {
        errno = EINVAL;
        return -1;
    }
    return 0;
}

#else

#include <termios.h>
#if defined(__APPLE__)
#include <IOKit/serial/ioss.h>
#include <sys/ioctl.h>
#endif

int scLineRead(int fd, ScLine* line)
{
    struct termios t;
    if (tcgetattr(fd, &t) != 0)
        return -1;
    speed_t s = cfgetospeed(&t);
    line->baud = s ? (uint32_t)s : 9600;
    line->parity = !(t.c_cflag & PARENB) ? 'N' : (t.c_cflag & PARODD) ? 'O' : 'E';
    switch (t.c_cflag & CSIZE) {
    case CS5: line->data = 5; break;
    case CS6: line->data = 6; break;
    case CS7: line->data = 7; break;
    default: line->data = 8; break;
    }
    line->stop = (t.c_cflag & CSTOPB) ? 2 : 1;
    return 0;
}

int scLineWrite(int fd, const ScLine* line)
{
    struct termios t;
    if (tcgetattr(fd, &t) != 0)
        return -1;
    if (line->parity == 'M' || line->parity == 'S') {
        errno = EINVAL;
        return -1;
    }
    cfmakeraw(&t);
    t.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cflag |= line->data == 5 ? CS5 : line->data == 6 ? CS6 : line->data == 7 ? CS7 : CS8;
    if (line->parity == 'E')
        t.c_cflag |= PARENB;
    if (line->parity == 'O')
        t.c_cflag |= PARENB | PARODD;
    if (line->stop != 1)
        t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
#if defined(__APPLE__)
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        return -1;
    speed_t speed = line->baud;
    return ioctl(fd, IOSSIOSPEED, &speed) == 0 ? 0 : -1;
#else
    /* the BSDs take the speed as a plain number */
    if (cfsetspeed(&t, (speed_t)line->baud) != 0)
        return -1;
    return tcsetattr(fd, TCSANOW, &t) == 0 ? 0 : -1;
#endif
}

#endif
