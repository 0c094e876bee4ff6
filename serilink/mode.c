/* Mode text in the Windows syntax, long form "baud=8192 parity=N data=8
 * stop=1" (plus the flow keys, which the library switches off anyway) or
 * short form "8192,n,8,1", either one optionally after "COMn:". */
#include "serilink/sc_internal.h"

#include <ctype.h>
#include <string.h>

static int eqNoCase(const char* a, size_t n, const char* b)
{
    if (strlen(b) != n)
        return 0;
    for (size_t i = 0; i < n; ++i)
        if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i]))
            return 0;
    return 1;
}

static int parseBaud(const char* s, size_t n, uint32_t* out)
{
    uint64_t v = 0;
    if (n == 0 || n > 10)
        return -1;
    for (size_t i = 0; i < n; ++i) {
        if (!isdigit((unsigned char)s[i]))
            return -1;
        v = v * 10 + (uint64_t)(s[i] - '0');
    }
    if (v == 0 || v > 0xFFFFFFFFu)
        return -1;
    *out = (uint32_t)v;
    return 0;
}

static int parseParity(const char* s, size_t n, char* out)
{
    if (n != 1)
        return -1;
    char c = (char)toupper((unsigned char)s[0]);
    if (!strchr("NEOMS", c))
        return -1;
    *out = c;
    return 0;
}

static int parseData(const char* s, size_t n, int* out)
{
    if (n != 1 || s[0] < '5' || s[0] > '8')
        return -1;
    *out = s[0] - '0';
    return 0;
}

static int parseStop(const char* s, size_t n, int* out)
{
    if (n == 1 && s[0] == '1')
        *out = 1;
    else if (n == 1 && s[0] == '2')
        *out = 2;
    else if (n == 3 && memcmp(s, "1.5", 3) == 0)
        *out = 3;
    else
        return -1;
    return 0;
}

static int isBlank(char c)
{
    return c == ' ' || c == '\t';
}

static int parseLong(const char* p, ScLine* line)
{
    int any = 0;
    while (*p) {
        while (isBlank(*p))
            ++p;
        if (!*p)
            break;
        const char* key = p;
        while (*p && *p != '=' && !isBlank(*p))
            ++p;
        size_t keyLen = (size_t)(p - key);
        if (*p != '=')
            return -1;
        const char* val = ++p;
        while (*p && !isBlank(*p))
            ++p;
        size_t valLen = (size_t)(p - val);
        int ok;
        if (eqNoCase(key, keyLen, "baud"))
            ok = parseBaud(val, valLen, &line->baud) == 0;
        else if (eqNoCase(key, keyLen, "parity"))
            ok = parseParity(val, valLen, &line->parity) == 0;
        else if (eqNoCase(key, keyLen, "data"))
            ok = parseData(val, valLen, &line->data) == 0;
        else if (eqNoCase(key, keyLen, "stop"))
            ok = parseStop(val, valLen, &line->stop) == 0;
        else if (eqNoCase(key, keyLen, "to") || eqNoCase(key, keyLen, "xon")
                 || eqNoCase(key, keyLen, "odsr") || eqNoCase(key, keyLen, "octs")
                 || eqNoCase(key, keyLen, "idsr"))
            ok = eqNoCase(val, valLen, "on") || eqNoCase(val, valLen, "off");
        else if (eqNoCase(key, keyLen, "dtr"))
            ok = eqNoCase(val, valLen, "on") || eqNoCase(val, valLen, "off")
                 || eqNoCase(val, valLen, "hs");
        else if (eqNoCase(key, keyLen, "rts"))
            ok = eqNoCase(val, valLen, "on") || eqNoCase(val, valLen, "off")
                 || eqNoCase(val, valLen, "hs") || eqNoCase(val, valLen, "tg");
        else
            ok = 0;
        if (!ok)
            return -1;
        any = 1;
    }
    return any ? 0 : -1;
}

static int parseShort(const char* p, ScLine* line)
{
    /* baud[,parity[,data[,stop[,x|p]]]]; an empty field keeps the setting */
    int field = 0;
    for (;;) {
        while (isBlank(*p))
            ++p;
        const char* s = p;
        while (*p && *p != ',' && !isBlank(*p))
            ++p;
        size_t n = (size_t)(p - s);
        while (isBlank(*p))
            ++p;
        int bad = 0;
        if (n > 0 || field == 0) {
            switch (field) {
            case 0: bad = parseBaud(s, n, &line->baud); break;
            case 1: bad = parseParity(s, n, &line->parity); break;
            case 2: bad = parseData(s, n, &line->data); break;
            case 3: bad = parseStop(s, n, &line->stop); break;
            case 4: bad = !(eqNoCase(s, n, "x") || eqNoCase(s, n, "p")); break;
            default: bad = 1;
            }
        }
        if (bad)
            return -1;
        ++field;
        if (*p == ',') {
            ++p;
            continue;
        }
        return *p ? -1 : 0;
    }
}

int scParseMode(const char* mode, ScLine* line)
{
    ScLine work = *line;
    const char* p = mode;
    while (isBlank(*p))
        ++p;
    if (tolower((unsigned char)p[0]) == 'c' && tolower((unsigned char)p[1]) == 'o'
        && tolower((unsigned char)p[2]) == 'm') {
        const char* q = p + 3;
        if (isdigit((unsigned char)*q)) {
            while (isdigit((unsigned char)*q))
                ++q;
            if (*q == ':')
                ++q;
            p = q;
        }
    }
    int rc = strchr(p, '=') ? parseLong(p, &work) : parseShort(p, &work);
    if (rc != 0)
        return -1;
    *line = work;
    return 0;
}
