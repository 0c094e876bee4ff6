#pragma once
// Log lines as CSV: the numbers and flag texts the window's tables show for
// each frame, one CSV line per log line. RFC 4180 (CR LF, quoted fields with
// doubled quotes), UTF-8 out of the 8-bit Latin-1 texts of definitions.
#include "decode/Aldl.h"
#include "decode/Hex.h"
#include "decode/WordDecode.h"
#include "definitions/Definition.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Appends `latin1` as one CSV field: UTF-8, quoted when it holds a comma, a
// double quote, a CR or a LF.
void AppendCsvField(std::string& out, std::string_view latin1);

struct TCsvOptions {
    bool Ids = false; // columns headed by the ID cell rather than "Name (Units)"
    bool Raw = false; // every word's raw integer rather than what the tables show
};

class TCsvExport {
public:
    TCsvExport(const TDefinition& def, TCsvOptions options);

    const TAldl& Aldl() const { return aldl_; }
    // Words whose start byte lies outside the frame buffer: their cells are
    // always empty.
    const std::vector<int>& Unreadable() const { return unreadable_; }
    // Words whose expression did not compile: they show their raw values.
    const std::vector<TExprProblem>& Problems() const { return problems_; }

    // "Time (s)" and one heading per word, with its CR LF.
    void AppendHeader(std::string& out) const;
    // One line for one log line: the stamp in seconds with three decimals,
    // then per word its table text, or its raw value; empty when the word's
    // bytes lie beyond the `count` bytes of the line.
    void AppendLine(std::string& out, std::int32_t stamp, const FrameBuffer& frame, int count);

private:
    TAldl aldl_;
    TCsvOptions options_;
    std::vector<int> unreadable_;
    std::vector<TExprProblem> problems_;
    // Each Flag word's texts as ready CSV fields, and "?" last.
    std::vector<std::vector<std::string>> flagFields_;
    TFrameResult result_;
};
