// diduvuve-csv: a log as CSV, with the values the window shows for it.
#include "app/CliCommon.h"
#include "app/csv/CellExport.h"
#include "app/csv/CsvExport.h"
#include "decode/Errors.h"
#include "link/LogFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: diduvuve-csv [--ids] [--raw] DEFINITION.ald LOG.alg [OUT.csv]\n"
    "       diduvuve-csv --cells \"X=ID:b1,b2,...;Y=ID:b1,b2,...;Z=ID\" [--where \"COND,...\"]\n"
    "                    [--min-hits N] [--stat mean|count|min|max] DEFINITION.ald LOG.alg [OUT.csv]\n";

int Fail(const std::string& file, const std::string& reason)
{
    std::fprintf(stderr, "diduvuve-csv: %s: %s\n", file.c_str(), reason.c_str());
    return 1;
}

// Why `name` cannot be read as a log, or empty when it can be opened.
std::string LogProblem(const std::string& name)
{
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) std::fclose(f);
    else return std::strerror(errno);
    return {};
}

// Whether both names lead to one existing file (opening the output would empty the input).
bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Writes the frames of an ALDL log as CSV (UTF-8, CR LF line ends), one line\n"
                 "per log line: the time in seconds, then one column per word of the\n"
                 "definition with the value the analyser's tables show for it (the flag\n"
                 "text for flag words). Without OUT.csv the CSV goes to standard output.",
                 "diduvuve-csv"};
    CliSetup(app, kUsage);
    TCsvOptions options;
    TCellArgs cellArgs;
    std::string defName, logName, outName;
    app.add_option("DEFINITION.ald", defName, "the definition to decode with")->type_name("")->required();
    app.add_option("LOG.alg", logName, "the log to read")->type_name("")->required();
    app.add_option("OUT.csv", outName, "the file to write (default: standard output)")->type_name("");
    auto* ids = app.add_flag("--ids", options.Ids, "head the columns with the words' IDs instead of \"Name (Units)\"");
    auto* raw = app.add_flag("--raw", options.Raw, "write every word's raw integer instead of its value");
    auto* cells = app.add_option("--cells", cellArgs.Cells,
                                 "a cell table instead: Z's statistic over the X and Y\n"
                                 "breakpoints (each frame goes to the nearest, a tie to the lower)")
                      ->option_text("X=ID:b1,...;Y=ID:b1,...;Z=ID")
                      ->excludes(ids)
                      ->excludes(raw);
    app.add_option("--where", cellArgs.Where,
                   "frames must meet every COND: W<v, W<=v, W>v, W>=v, W=v, W!=v on\n"
                   "values, or W=Text, W!=Text on a flag word's text; W is a word's ID\n"
                   "or name (\"Closed loop = Closed\")")
        ->option_text("COND,...")
        ->needs(cells);
    app.add_option("--min-hits", cellArgs.MinHits, "cells with fewer frames stay empty (default 1)")
        ->option_text("N")
        ->needs(cells);
    app.add_option("--stat", cellArgs.Stat, "mean (default), count, min or max")
        ->option_text("mean|count|min|max")
        ->needs(cells);
    app.footer("A word whose bytes did not arrive in a line gets an empty cell.\n"
               "Exit status: 0 done, 1 a file can't be read or written, 2 bad usage.");
    if (const auto done = CliParse(app, argc, argv)) return *done;
    cellArgs.HaveCells = cells->count() > 0;

    TDefinition def;
    std::string error;
    if (!LoadDefinitionFile(defName, def, error)) return Fail(defName, error);
    TCsvExport csv(def, options);
    TCellExport cellTable(def);
    if (cellArgs.HaveCells && !cellTable.Setup(cellArgs, error)) return CliBadUsage(app, "--cells: " + error);
    for (int i : csv.Unreadable()) {
        const TDisplay& d = csv.Aldl().Items(i);
        std::fprintf(stderr, "diduvuve-csv: %s: warning: word \"%s\" starts at byte %d, outside the frame; its cells are empty\n",
                     defName.c_str(), d.Name.c_str(), static_cast<int>(d.StartByte));
    }
    for (const TExprProblem& p : csv.Problems())
        std::fprintf(stderr, "diduvuve-csv: %s: warning: %s\n", defName.c_str(), p.Text.c_str());

    TLogReader log;
    if (const std::string p = LogProblem(logName); !p.empty()) return Fail(logName, p);
    if (!log.Open(logName)) return Fail(logName, "cannot be opened");

    std::FILE* out = stdout;
    if (!outName.empty() && (SameFile(outName, logName) || SameFile(outName, defName)))
        return Fail(outName, "is one of the input files; nothing was written");
    if (!outName.empty()) {
        out = std::fopen(outName.c_str(), "wb");
        if (!out) return Fail(outName, std::strerror(errno));
    }
    const std::string outLabel = outName.empty() ? std::string("standard output") : outName;
    // A failed export leaves no partial file that looks complete.
    auto failOut = [&](const std::string& file, const std::string& reason) {
        if (!outName.empty()) {
            std::fclose(out);
            std::remove(outName.c_str());
        }
        return Fail(file, reason);
    };

    std::string text;
    text.reserve(1 << 17);
    if (!cellArgs.HaveCells) csv.AppendHeader(text);
    FrameBuffer frame{};
    int count = 0;
    std::int32_t stamp = 0;
    try {
        for (;;) {
            frame.fill(0);
            if (!log.ReadLogLine(frame, count, stamp)) break;
            if (cellArgs.HaveCells) {
                cellTable.AddLine(frame, count);
                continue;
            }
            csv.AppendLine(text, stamp, frame, count);
            if (text.size() >= (1 << 16)) {
                if (std::fwrite(text.data(), 1, text.size(), out) != text.size())
                    return failOut(outLabel, std::strerror(errno));
                text.clear();
            }
        }
    } catch (const EInOutError& e) {
        return failOut(logName, e.what());
    } catch (const std::exception& e) {
        return failOut(logName, e.what());
    }
    if (cellArgs.HaveCells) cellTable.Append(text);
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), out) != text.size())
        return failOut(outLabel, std::strerror(errno));
    if (std::fflush(out) != 0) return failOut(outLabel, std::strerror(errno));
    if (!outName.empty() && std::fclose(out) != 0) {
        const int e = errno;
        std::remove(outName.c_str());
        return Fail(outName, std::strerror(e));
    }
    return 0;
}
