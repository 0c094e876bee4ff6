#pragma once
// The simulator's end of the line: a fresh pseudo-terminal or a real device.
#include <cstdint>
#include <string>

struct LineEnd {
    int fd = -1;        // the side the simulator reads and writes
    int slaveFd = -1;   // pty only: held so the master never sees EIO
    std::string slavePath;
};

// Both return false with errno set. The line is raw 8N1, non-blocking.
bool OpenPty(LineEnd& end);
bool OpenDevice(const std::string& path, std::uint32_t baud, LineEnd& end);
// Bytes written to the line that the other side has not read yet; -1 when
// that cannot be told.
int PendingForReader(const LineEnd& end);
