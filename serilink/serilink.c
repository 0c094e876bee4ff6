/* Platform-neutral part: the error table, the error texts and the checksum. */
#include "serilink/serilink.h"
#include "serilink/sc_internal.h"

#include <stdio.h>
#include <string.h>

SC_API int32_t errCode = 0;
SC_API char errText[1024] = "";

char scModeText[SC_MODE_SIZE];
char scDeviceName[16];

static const char* const table[] = {
    "Com port is not initialised, call scInit() first.",
    "Can't read from COM port.",
    "Can't write to COM port.",
    "Can't create connection to com port.",
    "Can't setup buffers for com port.",
    "Can't read com port settings.",
    "Can't write com port settings.",
    "Can't build Device Control Block.",
    "Can't read com port timeout settings.",
    "Can't write com port timeout settings.",
};

const char* scTableText(int32_t code)
{
    if (code < SC_ERR_NOT_INIT || code > SC_ERR_SET_TIMEOUTS)
        return "";
    return table[code - SC_ERR_NOT_INIT];
}

void scSetErrorWith(int32_t code, const char* sysText)
{
    errCode = code;
    /* snprintf cuts at the buffer's end, so a long system text cannot
     * overrun errText. */
    if (sysText && *sysText)
        snprintf(errText, sizeof errText, "%s Windows error: %s", scTableText(code), sysText);
    else
        snprintf(errText, sizeof errText, "%s", scTableText(code));
}

void scSetNoData(void)
{
    snprintf(errText, sizeof errText, "%s No data available.", scTableText(SC_ERR_READ));
}

SC_API int32_t SC_CALL scAddChkSum(uint8_t* buf, uint32_t count)
{
    uint8_t sum = 0;
    for (uint32_t i = 0; i < count; ++i)
        sum = (uint8_t)(sum + buf[i]);
    buf[count] = (uint8_t)(0x100 - sum);
    return (int32_t)(count + 1);
}

SC_API int32_t SC_CALL scChkSum(const uint8_t* buf, uint32_t count)
{
    uint8_t sum = 0;
    for (uint32_t i = 0; i < count; ++i)
        sum = (uint8_t)(sum + buf[i]);
    return sum == 0 ? 1 : 0;
}

SC_API int32_t SC_CALL scErrCode(void)
{
    return errCode;
}

SC_API const char* SC_CALL scErrText(void)
{
    return errText;
}
