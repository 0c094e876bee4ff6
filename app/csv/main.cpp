// diduvuve-csv: a log as CSV, with the values the window shows for it.
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

#ifndef DIDUVUVE_VERSION
#define DIDUVUVE_VERSION "0"
#endif

namespace {

const char* const kUsage =
    "Usage: diduvuve-csv [--ids] [--raw] DEFINITION.ald LOG.alg [OUT.csv]\n"
    "       diduvuve-csv --cells \"X=ID:b1,b2,...;Y=ID:b1,b2,...;Z=ID\" [--where \"COND,...\"]\n"
    "                    [--min-hits N] [--stat mean|count|min|max] DEFINITION.ald LOG.alg [OUT.csv]\n"
    "Writes the frames of an ALDL log as CSV (UTF-8, CR LF line ends), one line\n"
    "per log line: the time in seconds, then one column per word of the\n"
    "definition with the value the analyser's tables show for it (the flag\n"
    "text for flag words). Without OUT.csv the CSV goes to standard output.\n"
    "\n"
    "  --ids      head the columns with the words' IDs instead of\n"
    "             \"Name (Units)\"\n"
    "  --raw      write every word's raw integer instead of its value\n"
    "  --help     this text\n"
    "  --version  the program's version\n"
    "  --cells    a cell table instead: Z's statistic over the X and Y\n"
    "             breakpoints (each frame goes to the nearest, a tie to the lower)\n"
    "  --where    frames must meet every COND: ID<v, ID<=v, ID>v, ID>=v, ID=v,\n"
    "             ID!=v on values, or ID=Text, ID!=Text on a flag word's text\n"
    "  --min-hits cells with fewer frames stay empty (default 1)\n"
    "  --stat     mean (default), count, min or max\n"
    "\n"
    "A word whose bytes did not arrive in a line gets an empty cell.\n";

int Fail(const std::string& file, const std::string& reason)
{
    std::fprintf(stderr, "diduvuve-csv: %s: %s\n", file.c_str(), reason.c_str());
    return 1;
}

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "diduvuve-csv: %s\n%s", problem.c_str(), kUsage);
    return 2;
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
    TCsvOptions options;
    TCellArgs cellArgs;
    std::string cellError;
    std::vector<std::string> files;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (!optionsDone && a == "--") optionsDone = true;
        else if (!optionsDone && a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!optionsDone && a == "--version") {
            std::printf("diduvuve-csv %s\n", DIDUVUVE_VERSION);
            return 0;
        } else if (!optionsDone && a == "--ids") options.Ids = true;
        else if (!optionsDone && a == "--raw") options.Raw = true;
        else if (!optionsDone && TakeCellOption(argc, argv, i, cellArgs, cellError)) {
            if (!cellError.empty()) return Usage(cellError);
        } else if (!optionsDone && a.size() > 1 && a[0] == '-') return Usage("unknown option " + a);
        else files.push_back(a);
    }
    if (files.size() < 2) return Usage("a definition and a log are needed");
    if (files.size() > 3) return Usage("too many files");
    if (cellArgs.HaveOther && !cellArgs.HaveCells) return Usage("--where, --min-hits and --stat go with --cells");
    if (cellArgs.HaveCells && (options.Ids || options.Raw)) return Usage("--ids and --raw do not go with --cells");
    const std::string& defName = files[0];
    const std::string& logName = files[1];
    const std::string outName = files.size() == 3 ? files[2] : std::string();

    TDefinition def;
    std::string error;
    if (!LoadDefinitionFile(defName, def, error)) return Fail(defName, error);
    TCsvExport csv(def, options);
    TCellExport cells(def);
    if (cellArgs.HaveCells && !cells.Setup(cellArgs, error)) {
        std::fprintf(stderr, "diduvuve-csv: --cells: %s\n", error.c_str());
        return 2;
    }
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
                cells.AddLine(frame, count);
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
    if (cellArgs.HaveCells) cells.Append(text);
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
