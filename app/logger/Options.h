#pragma once
// The logger's command line.
#include <cstdint>
#include <optional>
#include <string>

struct LoggerOptions {
    std::string definition;
    std::string outDir = ".";
    std::int32_t com = -1; // -1: the definition's
    std::int64_t rotateMs = 0;
    std::int64_t frames = 0;
};

// Nothing when the logger is to run; otherwise the exit status (0 after
// --help or --version, 2 for bad usage, told on standard error).
std::optional<int> ParseOptions(int argc, char** argv, LoggerOptions& o);
