/* The POSIX backend's terminal layer (line_termios2.c). Both return 0, or
 * -1 with errno set. */
#ifndef SERILINK_SC_POSIX_H
#define SERILINK_SC_POSIX_H

#include "serilink/sc_internal.h"

int scLineRead(int fd, ScLine* line);
/* Raw 8-bit line, flow control off, modem lines ignored, the given speed,
 * parity, data and stop bits. */
int scLineWrite(int fd, const ScLine* line);

#endif
