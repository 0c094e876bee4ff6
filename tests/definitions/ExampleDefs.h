#pragma once
// The example definitions kept in examples/, built through the grid so the
// files are exactly what the program writes.
#include "decode/Hex.h"
#include "definitions/Sgrid.h"

#include <string>
#include <vector>

struct ExampleDef {
    std::vector<std::string> info; // 13 fields
    std::vector<std::vector<std::string>> words; // 17 cells each
};

inline std::vector<std::string> ValueWord(const std::string& name, const std::string& id, const std::string& start,
                                          const std::string& bits, const std::string& formula,
                                          const std::string& units, const std::string& factor,
                                          const std::string& offset, const std::string& amin = "",
                                          const std::string& amax = "")
{
    return {name, id, start, bits, amin, amax, "Value", "", "", "", "", formula, units, factor, offset, "", ""};
}

inline std::vector<std::string> ChartWord(const std::string& name, const std::string& id, const std::string& start,
                                          int chart, int series, const std::string& dmin, const std::string& dmax,
                                          const std::string& formula, const std::string& units,
                                          const std::string& factor, const std::string& offset)
{
    return {name, id, start, "8", "", "", "Chart", std::to_string(chart), std::to_string(series), dmin, dmax,
            formula, units, factor, offset, "", ""};
}

inline std::vector<std::string> FlagWord(const std::string& name, const std::string& id, const std::string& start,
                                         const std::vector<std::string>& flags)
{
    return {name, id, start, "1", "", "", "Flag", "", "", "", "", "", "", "1", "0", JoinCommaText(flags), ""};
}

inline ExampleDef SmallExample()
{
    ExampleDef d;
    d.info = {"Small example", "", "Test ECM", "AB12", "Australia", "5.0", "PFI", "Automatic", "1993",
              "F4 57 01 00", "100", "Y", "1"};
    d.words = {
        ChartWord("Coolant temperature", "CTS", "8", 1, 1, "-40", "150", "Degrees C", "\xB0" "C", "0.75", "-40"),
        ChartWord("Engine speed", "RPM", "10", 1, 2, "0", "6375", "(User defined)", "rpm", "25", "0"),
        ValueWord("Battery voltage", "VBAT", "12", "8", "Volts", "V", "0.1", "0", "11", "15"),
        ValueWord("Throttle position", "TPS", "14", "8", "Percentage", "%", "0.3922", "0"),
        ValueWord("Spark advance", "SA", "16", "16", "(User defined)", "deg", "0.3515625", "0"),
        FlagWord("Closed loop", "CL", "20.7", {"Open loop", "Closed loop"}),
    };
    return d;
}

// 60 words over a 60-byte frame: twelve chart traces (three charts of four
// series), 24 values of 8 and 16 bits, and 24 single-bit flags.
inline ExampleDef SixtyExample()
{
    ExampleDef d;
    d.info = {"Sixty word example", "6H8VN00000L000000", "Test ECM", "CD34", "Australia", "3.8", "PFI", "Manual",
              "1991", "F4 57 01 00", "50", "-", "2"};
    int byte = 4;
    for (int chart = 1; chart <= 3; ++chart)
        for (int series = 1; series <= 4; ++series) {
            std::string n = std::to_string((chart - 1) * 4 + series);
            d.words.push_back(ChartWord("Trace " + n, "T" + n, std::to_string(byte++), chart, series, "0", "255",
                                        "(User defined)", "counts", "1", "0"));
        }
    for (int i = 1; i <= 16; ++i)
        d.words.push_back(ValueWord("Sensor " + std::to_string(i), "S" + std::to_string(i), std::to_string(byte++), "8",
                                    i % 2 ? "Volts" : "Percentage", i % 2 ? "V" : "%", i % 2 ? "0.0196" : "0.3922",
                                    "0", "", i % 4 == 0 ? "90" : ""));
    for (int i = 1; i <= 8; ++i) {
        d.words.push_back(ValueWord("Counter " + std::to_string(i), "C" + std::to_string(i), std::to_string(byte), "16",
                                    "(User defined)", "ms", "0.125", i % 3 == 0 ? "-100" : "0"));
        byte += 2;
    }
    for (int i = 0; i < 24; ++i) {
        std::string start = std::to_string(byte + i / 8) + "." + std::to_string(i % 8);
        std::string n = std::to_string(i + 1);
        d.words.push_back(FlagWord("Status " + n, "F" + n, start, {"Status " + n + " off", "Status " + n + " on"}));
    }
    return d;
}

// n words of every kind, for load and save figures.
inline ExampleDef ManyWords(int n)
{
    ExampleDef d = SixtyExample();
    d.words.clear();
    for (int i = 0; i < n; ++i) {
        std::string k = std::to_string(i + 1);
        if (i % 3 == 0)
            d.words.push_back(ChartWord("Word " + k, "W" + k, std::to_string(i % 60 + 1), i % 9 / 3 + 1, i % 4 + 1, "0",
                                        "255", "(User defined)", "units", "0.5", "-10"));
        else if (i % 3 == 1)
            d.words.push_back(ValueWord("Word " + k, "W" + k, std::to_string(i % 60 + 1), "8", "Volts", "V", "0.0196",
                                        "0", "1", "4"));
        else
            d.words.push_back(FlagWord("Word " + k, "W" + k, std::to_string(i % 60 + 1) + "." + std::to_string(i % 8),
                                       {"Word " + k + " clear", "Word " + k + " set"}));
    }
    return d;
}

// Puts the definition into the grid as the word dialog would, then into the store.
inline void FillGrid(TLxSgrid& grid, const ExampleDef& d)
{
    std::vector<std::string> info;
    for (const auto& f : d.info) info.push_back(EmptyToDash(f));
    grid.SetInfo(JoinCommaText(info));
    const int n = static_cast<int>(d.words.size());
    grid.SetRowCount(n + 2);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < static_cast<int>(d.words[static_cast<std::size_t>(r)].size()); ++c)
            grid.SetCells(c, r + 1, d.words[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]);
    for (int c = 0; c < grid.ColCount(); ++c) grid.SetCells(c, n + 1, "");
    grid.StoreDefinition();
}
