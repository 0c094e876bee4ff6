// The serial mode strings: any text parses or is refused without harm, and
// whatever parses reads the same again when written in either form.
#include "tests/fuzz/FuzzCheck.h"

extern "C" {
#include "serilink/sc_internal.h"
}

#include <cstdint>
#include <cstring>
#include <string>

namespace {

bool Same(const ScLine& a, const ScLine& b)
{
    return a.baud == b.baud && a.parity == b.parity && a.data == b.data && a.stop == b.stop;
}

const char* StopText(int stop) { return stop == 3 ? "1.5" : stop == 2 ? "2" : "1"; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The library copies at most its mode buffer; the parser sees a C string.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ScLine start{9600, 'N', 8, 1};
    ScLine line = start;
    if (scParseMode(text.c_str(), &line) != 0) {
        FUZZ_CHECK(Same(line, start)); // a refused text changes nothing
        return 0;
    }
    FUZZ_CHECK(line.baud > 0);
    FUZZ_CHECK(std::strchr("NEOMS", line.parity) && line.parity != '\0');
    FUZZ_CHECK(line.data >= 5 && line.data <= 8);
    FUZZ_CHECK(line.stop >= 1 && line.stop <= 3);

    const std::string longForm = "baud=" + std::to_string(line.baud) + " parity=" + line.parity +
                                 " data=" + std::to_string(line.data) + " stop=" + StopText(line.stop);
    const std::string shortForm = "COM3:" + std::to_string(line.baud) + "," + line.parity + "," +
                                  std::to_string(line.data) + "," + StopText(line.stop);
    for (const std::string& again : {longForm, shortForm}) {
        ScLine back = start;
        FUZZ_CHECK(scParseMode(again.c_str(), &back) == 0);
        FUZZ_CHECK(Same(back, line));
    }
    return 0;
}
