#pragma once
// The pure part of display set-up: the decoders of a definition, which table
// row each word owns, and each chart's value range and trace names.
#include "decode/Aldl.h"

#include <array>
#include <string>
#include <vector>

struct TChartLayout {
    long double MinRange = 0.0L;
    long double MaxRange = 1.0L;
    std::array<std::string, 4> Names{"Series 1", "Series 2", "Series 3", "Series 4"};
};

struct TDisplayLayout {
    // Decoder indexes in table order: the k-th entry owns row k + 1.
    std::vector<int> DataWords; // Value and Chart words
    std::vector<int> MalfWords; // Flag words
    std::array<TChartLayout, 3> Charts;
    // One text per word whose expression did not compile (it shows its raw value).
    std::vector<std::string> Problems;
};

// Clears `aldl` and adds one decoder per word row (cells by column, missing
// cells empty). Ranges and names come only from rows whose Display cell is
// exactly "Chart": the smallest Dmin (default 0) and largest Dmax (default
// 255) of a chart's rows, never narrower than 0 to 1; a trace is named by the
// ID of the last such row on it. Expressions are compiled here, once.
void BuildDisplays(const std::vector<std::vector<std::string>>& words, TAldl& aldl, TDisplayLayout& layout);
