#include "tests/fuzz/ScriptedLink.h"

#include "serilink/serilink.h"
extern "C" {
#include "serilink/sc_internal.h"
}

#include <algorithm>
#include <cstring>

namespace {

ScriptedLine* line = nullptr;

// The outcome of one call: 0 fails, 1 moves nothing, 2 moves part, else all.
struct Step {
    int kind;
    std::uint32_t part;
};

Step NextStep()
{
    if (line->control.empty()) return {3, 0};
    const auto c = static_cast<unsigned char>(line->control.front());
    line->control.remove_prefix(1);
    return {c % 8 < 3 ? c % 8 : 3, c / 8u};
}

} // namespace

void SetScriptedLine(ScriptedLine* l) { line = l; }

extern "C" {

void scSetError(int32_t code) { scSetErrorWith(code, "Input/output error"); }

SC_API int32_t SC_CALL scInit(int32_t, const char*)
{
    if (!line) {
        scSetErrorWith(SC_ERR_OPEN, "No such file or directory");
        return -1;
    }
    return 0;
}

SC_API int32_t SC_CALL scDone(void)
{
    if (!line) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    line = nullptr;
    return 0;
}

SC_API int32_t SC_CALL scTimeOut(uint32_t, uint32_t, uint32_t)
{
    if (!line) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    return 0;
}

SC_API int32_t SC_CALL scRead(uint8_t* buf, uint32_t count)
{
    if (!line) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    ++line->reads;
    // A real read may fill all `count` bytes, so a count beyond the
    // caller's buffer must show even when fewer arrive.
    if (count > 0) {
        volatile std::uint8_t last = buf[count - 1];
        (void)last;
    }
    const Step s = NextStep();
    if (s.kind == 0) {
        scSetError(SC_ERR_READ);
        return -1;
    }
    std::uint32_t n = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(line->data.size() - line->at));
    if (s.kind == 1) n = 0;
    if (s.kind == 2) n = std::min(n, s.part);
    if (n == 0) {
        scSetNoData();
        return -1;
    }
    // An offset, not an erase: a long line read a byte at a time stays cheap.
    std::memcpy(buf, line->data.data() + line->at, n);
    line->at += n;
    line->taken += n;
    return static_cast<int32_t>(n);
}

SC_API int32_t SC_CALL scWrite(const uint8_t* buf, uint32_t count)
{
    if (!line) {
        scSetError(SC_ERR_NOT_INIT);
        return -1;
    }
    ++line->writes;
    line->readsAtWrite = line->reads;
    line->takenAtWrite = line->taken;
    const Step s = NextStep();
    if (s.kind == 0) {
        scSetError(SC_ERR_WRITE);
        return -1;
    }
    std::uint32_t n = count;
    if (s.kind == 1) n = 0;
    if (s.kind == 2) n = std::min(n, s.part);
    const std::string out(reinterpret_cast<const char*>(buf), n);
    line->written += out;
    if (line->loopback) line->data.insert(line->at, out);
    return static_cast<int32_t>(n);
}

} // extern "C"
