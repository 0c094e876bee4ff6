/* Windows backend: the serial calls of the Win32 API. */
#include "serilink/serilink.h"
#include "serilink/sc_internal.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

static HANDLE portHandle = INVALID_HANDLE_VALUE;
static DCB dcb;
static COMMTIMEOUTS timeouts;

void scSetError(int32_t code)
{
    DWORD last = GetLastError();
    char* sys = NULL;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS
                                 | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                             NULL, last, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&sys, 0,
                             NULL);
    scSetErrorWith(code, n && sys ? sys : "");
    if (sys)
        LocalFree(sys);
}

static void closePort(void)
{
    if (portHandle != INVALID_HANDLE_VALUE) {
        CloseHandle(portHandle);
        portHandle = INVALID_HANDLE_VALUE;
    }
}

SC_API int32_t SC_CALL scInit(int32_t port, const char* mode)
{
    closePort();
    if (!mode || strlen(mode) >= SC_MODE_SIZE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        scSetError(SC_ERR_BUILD_DCB);
        return -1;
    }
    memcpy(scModeText, mode, strlen(mode) + 1);
    snprintf(scDeviceName, sizeof scDeviceName, "COM%d:", (int)port);

    char path[32];
    /* ports above 9 are reachable only through the device namespace */
    snprintf(path, sizeof path, port > 9 ? "\\\\.\\COM%d" : "COM%d:", (int)port);
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) {
        scSetError(SC_ERR_OPEN);
        return -1;
    }
    portHandle = h;
    if (!SetupComm(h, 1024, 1024)) {
        scSetError(SC_ERR_BUFFERS);
        return -1;
    }
    if (!GetCommState(h, &dcb)) {
        scSetError(SC_ERR_GET_STATE);
        return -1;
    }
    if (!BuildCommDCBA(scModeText, &dcb)) {
        scSetError(SC_ERR_BUILD_DCB);
        return -1;
    }
    /* the flag-word mask 0x337C: all flow control off, DTR and RTS disabled */
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    if (!SetCommState(h, &dcb)) {
        scSetError(SC_ERR_SET_STATE);
        return -1;
    }
    if (scTimeOut(5, 1, 10) != 0) {
        printf("Error %d: %s\n", (int)errCode, errText);
        fflush(stdout);
        return -1;
    }
    return 0;
}

SC_API int32_t SC_CALL scDone(void)
{
    if (portHandle == INVALID_HANDLE_VALUE) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    closePort();
    return 0;
}

SC_API int32_t SC_CALL scTimeOut(uint32_t interval, uint32_t multiplier, uint32_t constant)
{
    if (portHandle == INVALID_HANDLE_VALUE) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    if (!GetCommTimeouts(portHandle, &timeouts)) {
        scSetError(SC_ERR_GET_TIMEOUTS);
        return -1;
    }
    timeouts.ReadIntervalTimeout = interval;
    timeouts.ReadTotalTimeoutMultiplier = multiplier;
    timeouts.ReadTotalTimeoutConstant = constant;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 100;
    if (!SetCommTimeouts(portHandle, &timeouts)) {
        scSetError(SC_ERR_SET_TIMEOUTS);
        return -1;
    }
    return 0;
}

SC_API int32_t SC_CALL scRead(uint8_t* buf, uint32_t count)
{
    if (portHandle == INVALID_HANDLE_VALUE) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    DWORD got = 0;
    if (!ReadFile(portHandle, buf, count, &got, NULL)) {
        scSetError(SC_ERR_READ);
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
    if (portHandle == INVALID_HANDLE_VALUE) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    DWORD sent = 0;
    if (!WriteFile(portHandle, buf, count, &sent, NULL)) {
        scSetError(SC_ERR_WRITE);
        return -1;
    }
    return (int32_t)sent;
}
