// diduvuve-import: an ADX definition as a ".ald" definition, or the reverse.
#include "app/CliCommon.h"
#include "definitions/Adx.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace {

int Fail(const std::string& file, const std::string& reason)
{
    std::fprintf(stderr, "diduvuve-import: %s: %s\n", file.c_str(), reason.c_str());
    return 1;
}

std::string WithExtension(const std::string& name, const std::string& ext)
{
    const auto slash = name.rfind('/');
    const auto dot = name.rfind('.');
    const bool hasExt = dot != std::string::npos && dot > (slash == std::string::npos ? 0 : slash + 1);
    return (hasExt ? name.substr(0, dot) : name) + ext;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

int Write(const std::string& in, const std::string& out, const std::string& text)
{
    if (out == in || SameFile(in, out)) return Fail(out, "is the input file; nothing was written");
    std::string error;
    if (!WriteFileAtomic(out, text, error)) return Fail(out, error + "; nothing was written");
    return 0;
}

int Import(const std::string& in, std::string out)
{
    if (out.empty()) out = WithExtension(in, ".ald");
    TAdxImport imp;
    std::string error;
    if (!ImportAdxFile(in, imp, error)) return Fail(in, error + "; nothing was written");
    if (int rc = Write(in, out, DefinitionText(imp.Def, imp.HasAnalysis ? &imp.Analysis : nullptr, &imp.Link))) return rc;
    const std::string reportName = out + ".import.txt";
    const std::string report = imp.ReportText(in);
    if (report.empty()) {
        // A report left from an earlier import would describe another file.
        if (!SameFile(in, reportName)) std::remove(reportName.c_str());
        return 0;
    }
    for (const auto& w : imp.Warnings) std::fprintf(stderr, "diduvuve-import: %s: warning: %s\n", in.c_str(), w.c_str());
    if (SameFile(in, reportName)) return Fail(reportName, "is the input file; the report was not written");
    std::string error2;
    if (!WriteFileAtomic(reportName, report, error2)) return Fail(reportName, error2);
    std::fprintf(stderr, "diduvuve-import: %s: %d imported raw, %d left out; the report is in %s\n", in.c_str(),
                 imp.Raw, imp.Skipped, reportName.c_str());
    return 0;
}

int Export(const std::string& in, std::string out)
{
    if (out.empty()) out = WithExtension(in, ".adx");
    TDefinition def;
    std::string error;
    std::optional<TAnalysisChoices> cells;
    if (!LoadDefinitionFile(in, def, error, &cells)) return Fail(in, error + "; nothing was written");
    std::vector<std::string> notes;
    const TLinkSettings link = LoadLinkSettings(in);
    const std::string text = ExportAdx(def, notes, cells ? &*cells : nullptr, &link);
    for (const auto& n : notes) std::fprintf(stderr, "diduvuve-import: %s: %s\n", in.c_str(), n.c_str());
    return Write(in, out, text);
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Reads an ADX definition file (the XML definitions the ALDL community shares) into a\n"
                 "Diduvuve definition, or writes a definition as an ADX file.",
                 "diduvuve-import"};
    CliSetup(app);
    std::string adx, ald, out;
    app.add_option("FILE", adx, "the ADX file to import (OUT defaults to FILE with .ald)")->type_name("");
    app.add_option("--export", ald, "write the definition DEF.ald as an ADX file (OUT defaults to DEF with .adx)")
        ->option_text("DEF.ald");
    app.add_option("-o,--output", out, "the file to write")->option_text("OUT");
    app.footer("Exit status: 0 done (the report OUT.import.txt lists what was imported raw or left out),\n"
               "1 the input can't be read or written, 2 bad usage.");
    const auto done = CliParse(app, argc, argv, [&] {
        if (adx.empty() == ald.empty())
            throw CLI::ValidationError(adx.empty() ? "an ADX file or --export DEF.ald is needed"
                                                   : "give an ADX file or --export, not both");
    });
    if (done) return *done;
    return ald.empty() ? Import(adx, out) : Export(ald, out);
}
