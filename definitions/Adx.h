#pragma once
// ADX files, the community's XML stream definitions, read into a definition
// and written back from one. No Qt: the window and diduvuve-import share it.
#include "definitions/Analysis.h"
#include "definitions/Definition.h"
#include "link/LinkSettings.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TAdxImport {
    TDefinition Def;
    // The file's histograms as the Log Analysis page's cell tables (HasAnalysis: one at least).
    bool HasAnalysis = false;
    TAnalysisChoices Analysis;
    // The connect macro as the [LINK] section (Present when it had one).
    TLinkSettings Link;
    // Said first: the file is for another bus, or damaged but partly read.
    std::vector<std::string> Warnings;
    // One line per item imported raw or left out, and per part of the file
    // that has no place in a definition yet, each with its reason.
    std::vector<std::string> Notes;
    int Raw = 0;     // rows imported raw
    int Skipped = 0; // items not imported

    // The report as text (empty when there is nothing to say).
    std::string ReportText(const std::string& fileName) const;
};

// Hostile files stay bounded: a larger file, or one with more markup than
// any real definition, is refused before it is parsed.
constexpr std::size_t AdxMaxFileSize = std::size_t{4} << 20;
constexpr std::size_t AdxMaxMarkup = 200000; // '<' characters, so nodes and depth

// False with `error` set when `data` is not an ADX definition at all.
// `fileName` gives the title when the file has no description.
bool ImportAdx(std::string_view data, const std::string& fileName, TAdxImport& out, std::string& error);
bool ImportAdxFile(const std::string& path, TAdxImport& out, std::string& error);

// The ADX text of a definition, with the Log Analysis page's cell table as
// a histogram, and the link settings as the connect macro, when given; what
// it cannot express is listed in `notes`.
std::string ExportAdx(const TDefinition& def, std::vector<std::string>& notes,
                      const TAnalysisChoices* analysis = nullptr, const TLinkSettings* link = nullptr);

// The ".ald" text of a definition, as the window saves it, with the Log
// Analysis page's choices and the link settings when given.
std::string DefinitionText(const TDefinition& def, const TAnalysisChoices* analysis = nullptr,
                           const TLinkSettings* link = nullptr);

// Replaces `path` with `data` only once all of it is on disk; false with
// `error` set, and nothing left behind, otherwise.
bool WriteFileAtomic(const std::string& path, const std::string& data, std::string& error);
