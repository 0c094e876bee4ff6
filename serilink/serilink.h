/* Serial link to the ECM: one port per process, raw bytes with timeouts,
 * the 8-bit ALDL checksum, and the last failure as a code and a text.
 * Every call that can fail returns -1 and leaves the reason in errCode and
 * errText; success never clears them. Usable from C and C++. */
#ifndef SERILINK_SERILINK_H
#define SERILINK_SERILINK_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(SERILINK_BUILD)
#    define SC_API __declspec(dllexport)
#  else
#    define SC_API __declspec(dllimport)
#  endif
#  define SC_CALL __stdcall
#else
#  define SC_API __attribute__((visibility("default")))
#  define SC_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
    SC_ERR_NOT_INIT = 20000,
    SC_ERR_READ = 20001,
    SC_ERR_WRITE = 20002,
    SC_ERR_OPEN = 20003,
    SC_ERR_BUFFERS = 20004,
    SC_ERR_GET_STATE = 20005,
    SC_ERR_SET_STATE = 20006,
    SC_ERR_BUILD_DCB = 20007,
    SC_ERR_GET_TIMEOUTS = 20008,
    SC_ERR_SET_TIMEOUTS = 20009
};

/* Opens COM<port> with a mode such as "baud=8192 parity=N data=8 stop=1" or
 * "8192,n,8,1". A port already held is closed first. 0 or -1. */
SC_API int32_t SC_CALL scInit(int32_t port, const char* mode);
/* Releases the port; -1 with 20000 when none is held. */
SC_API int32_t SC_CALL scDone(void);
/* Read timeouts in ms: longest gap between two bytes, per byte, constant.
 * Writes always get 10 ms per byte plus 100 ms. */
SC_API int32_t SC_CALL scTimeOut(uint32_t interval, uint32_t multiplier, uint32_t constant);
/* Bytes read (at least 1, maybe fewer than count) or -1; nothing arriving is
 * -1 with errCode unchanged and errText ending in "No data available.". */
SC_API int32_t SC_CALL scRead(uint8_t* buf, uint32_t count);
/* Bytes written (0 when the write timeout ran out first) or -1. */
SC_API int32_t SC_CALL scWrite(const uint8_t* buf, uint32_t count);
/* Stores the checksum at buf[count] (buf needs count + 1 bytes); count + 1. */
SC_API int32_t SC_CALL scAddChkSum(uint8_t* buf, uint32_t count);
/* 1 when the count bytes sum to 0 modulo 256, else 0. */
SC_API int32_t SC_CALL scChkSum(const uint8_t* buf, uint32_t count);
SC_API int32_t SC_CALL scErrCode(void);
/* Always the same library-owned, zero-terminated buffer. */
SC_API const char* SC_CALL scErrText(void);

SC_API extern int32_t errCode;
SC_API extern char errText[1024];

#ifdef __cplusplus
}
#endif

#endif
