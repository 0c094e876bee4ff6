// ADX import: a 100 KB definition file of values and bitmasks read into a
// definition (target: under 50 ms), and its export.
#include "definitions/Adx.h"

#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>

namespace {

// About as many values, 16-bit values and bitmasks per KB as real files.
std::string HundredKb()
{
    std::string s = "<ADXFORMAT version=\"1.01\">\r\n<ADXHEADER><flags>0x00</flags><desc>Bench</desc><baud>8192</baud>"
                    "<monitorcmd>m</monitorcmd></ADXHEADER>\r\n"
                    "<ADXCSENDCOMMAND id=\"s\" idhash=\"0x1\" title=\"S\"><bytestring size=\"0x5\">F4570100B4</bytestring>"
                    "</ADXCSENDCOMMAND>\r\n<ADXCLISTENPACKET id=\"p\" idhash=\"0x2\" title=\"P\"><packetsize>120</packetsize>"
                    "<packetoffsetinbody>3</packetoffsetinbody></ADXCLISTENPACKET>\r\n"
                    "<ADXMACRO id=\"m\" idhash=\"0x3\" title=\"M\"><NODE commandID=\"s\" /><NODE commandID=\"p\" /></ADXMACRO>\r\n";
    const char* eqs[] = {"(x * .75) - 40", "X/2.55", "X * 0.019608", "X*0.369+10.354", "X", "(X/256)*100"};
    for (int i = 0; s.size() < 100 * 1024; ++i) {
        const std::string id = std::to_string(i), hash = std::to_string(0x1000 + i), off = std::to_string(i % 110);
        if (i % 3 == 2)
            s += "<ADXBITMASK id=\"" + id + "\" idhash=\"0x" + hash + "\" title=\"DTC " + id + " - some fault\">\r\n"
                 "  <flags>0x0000000C</flags>\r\n  <parentcmdidhash>0x00000000</parentcmdidhash>\r\n"
                 "  <truestring>Set</truestring>\r\n  <falsestring>Clear</falsestring>\r\n"
                 "  <ALARMONSET color=\"0x000000FF\" />\r\n  <packetoffset>0x" + off + "</packetoffset>\r\n"
                 "  <operand>0x00000008</operand>\r\n  <bitop>AND</bitop>\r\n  <result>0x00000008</result>\r\n</ADXBITMASK>\r\n";
        else
            s += "<ADXVALUE id=\"" + id + "\" idhash=\"0x" + hash + "\" title=\"Value " + id + "\">\r\n"
                 "  <flags>0x0000000C</flags>\r\n  <units>Degrees C</units>\r\n  <packetoffset>0x" + off + "</packetoffset>\r\n" +
                 (i % 7 == 0 ? "  <sizeinbits>16</sizeinbits>\r\n" : "") +
                 "  <range low=\"0.000000\" high=\"130.000000\" />\r\n  <alarms low=\"-5.000000\" high=\"110.000000\" />\r\n"
                 "  <digcount>1</digcount>\r\n  <outputtype>3</outputtype>\r\n"
                 "  <MATH equation=\"" + eqs[i % 6] + "\">\r\n    <VAR varID=\"x\" type=\"native\" />\r\n  </MATH>\r\n</ADXVALUE>\r\n";
    }
    return s + "</ADXFORMAT>\r\n";
}

const std::string& File()
{
    static const std::string f = HundredKb();
    return f;
}

void BM_ImportAdx100Kb(benchmark::State& state)
{
    std::size_t words = 0;
    for (auto _ : state) {
        TAdxImport imp;
        std::string error;
        if (!ImportAdx(File(), "bench.adx", imp, error)) throw std::runtime_error(error);
        words = imp.Def.Words.size();
        benchmark::DoNotOptimize(imp);
    }
    state.counters["KB"] = static_cast<double>(File().size()) / 1024;
    state.counters["words"] = static_cast<double>(words);
}
BENCHMARK(BM_ImportAdx100Kb)->Unit(benchmark::kMillisecond);

void BM_ExportAdx(benchmark::State& state)
{
    TAdxImport imp;
    std::string error;
    if (!ImportAdx(File(), "bench.adx", imp, error)) throw std::runtime_error(error);
    for (auto _ : state) {
        std::vector<std::string> notes;
        benchmark::DoNotOptimize(ExportAdx(imp.Def, notes));
    }
}
BENCHMARK(BM_ExportAdx)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
