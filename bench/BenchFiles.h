#pragma once
// Files the benchmarks share: a temporary folder that goes with its owner,
// a log of made-up frames written into one, and a log's frame rate.
#include "link/LogFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

struct TempFolder {
    std::string dir;
    explicit TempFolder(const char* stem)
    {
        const char* t = std::getenv("TMPDIR");
        dir = std::string(t && *t ? t : "/tmp") + "/" + stem + "-XXXXXX";
        if (!::mkdtemp(dir.data())) throw std::runtime_error("mkdtemp failed");
    }
    ~TempFolder() { std::filesystem::remove_all(dir); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string Path(const std::string& name) const { return dir + "/" + name; }
};

// `lines` log lines of `bytes`-byte frames; line i is stamped i * stepMs and
// holds the frame `fill(i, frame)` leaves.
struct TempLog : TempFolder {
    std::string file;
    template <class Fill>
    TempLog(const char* stem, int lines, int bytes, std::int32_t stepMs, Fill fill)
        : TempFolder(stem), file(Path("bench.alg"))
    {
        TLogWriter w;
        if (!w.Create(file)) throw std::runtime_error("cannot create " + file);
        FrameBuffer f{};
        for (int i = 0; i < lines; ++i) {
            fill(i, f);
            w.WriteLogLine(i * stepMs, f.data(), bytes);
        }
    }
};

// Frames per second by the log's own stamps, so the start-up is left out;
// 0 with fewer than two lines.
inline double LogRate(const std::string& file)
{
    std::ifstream log(file);
    std::string line;
    long first = -1, last = -1, lines = 0;
    while (std::getline(log, line)) {
        last = std::stol(line.substr(0, line.find(',')));
        if (first < 0) first = last;
        ++lines;
    }
    return lines > 1 && last > first ? (lines - 1) * 1000.0 / static_cast<double>(last - first) : 0;
}

// The whole of a text file.
inline std::string FileText(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The simulator's definition from `examples` with no pause between requests,
// and with the link settings of the VT example when `link`; written into
// `folder`, its path returned.
inline std::string SimulatorDefinition(const TempFolder& folder, const std::string& examples, bool link)
{
    std::string def = FileText(examples + "/ecmsim.ald");
    def.replace(def.find("\"F4 57 01 00\",5,"), 16, "\"F4 57 01 00\",0,");
    if (link) {
        const std::string vt = FileText(examples + "/holden-vt-vy-link.ald");
        def += "\r\n" + vt.substr(vt.find("[LINK]"));
    }
    const std::string file = folder.Path(link ? "link.ald" : "zero.ald");
    std::ofstream(file, std::ios::binary) << def;
    return file;
}
