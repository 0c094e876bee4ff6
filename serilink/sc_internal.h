/* Shared between the library's sources; not installed, not exported. */
#ifndef SERILINK_SC_INTERNAL_H
#define SERILINK_SC_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#define SC_MODE_SIZE 128

/* Line settings a mode text can change; fields it leaves out keep the
 * values read from the port. */
typedef struct {
    uint32_t baud;
    char parity; /* 'N', 'E', 'O', 'M' or 'S' */
    int data;    /* 5..8 */
    int stop;    /* 1 = one, 2 = two, 3 = one and a half */
} ScLine;

extern char scModeText[SC_MODE_SIZE];
extern char scDeviceName[16];

const char* scTableText(int32_t code);
/* Records code with its table text, then " Windows error: " and sysText
 * when that is not empty, cut to fit errText. */
void scSetErrorWith(int32_t code, const char* sysText);
/* The error setter: asks the platform for the text of the thread's last
 * system error. */
void scSetError(int32_t code);
void scSetNoData(void);

/* 0 when the mode text parses; line starts as the port's current settings. */
int scParseMode(const char* mode, ScLine* line);

#endif
