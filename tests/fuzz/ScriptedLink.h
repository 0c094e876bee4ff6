#pragma once
// A stand-in for serilink's port functions, linked instead of the library:
// reads come from a script, writes are recorded. The checksum and the error
// texts are the library's own.
#include <cstdint>
#include <string>
#include <string_view>

struct ScriptedLine {
    // One byte per read or write decides how that call goes; when it runs
    // out every call goes through whole.
    std::string_view control;
    // The bytes the module sends, in order.
    std::string data;
    // The cable hands back every written byte before what the module sends.
    bool loopback = false;

    std::string written;
    int reads = 0;
    int writes = 0;
    // Bytes handed to readers so far; both counts as they were at the last write.
    std::size_t taken = 0;
    int readsAtWrite = 0;
    std::size_t takenAtWrite = 0;

    // Where the next read starts in `data`.
    std::size_t at = 0;
};

// Installs `line` (not owned) as the port; nullptr closes it.
void SetScriptedLine(ScriptedLine* line);
