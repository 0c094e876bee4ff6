#pragma once
// The few system calls of the keyed file store, behind one small seam with
// one source per platform (FileIoPosix.cpp), as the serial library has, so
// the store itself stays free of them.
#include <cstdint>
#include <string>

namespace file_io {

enum class ReadResult { Ok, CantRead, TooLarge };

// Reads a regular file whole (a pipe or a device is CantRead, so nothing
// blocks); one over `maxSize` bytes is TooLarge, known from its size before
// anything is read where the system tells it.
ReadResult ReadWhole(const std::string& name, std::string& data, std::uint64_t maxSize);

enum class WriteResult { Ok, CantCreate, IoError, Damaged };

struct WriteOutcome {
    WriteResult result;
    int error = 0; // the system's error number
};

// Replaces the file (the one a link points to) with `content`: into a fresh
// file beside it that is then renamed over it, so a failure leaves the old
// file whole; where no such file can be made, in place, putting the old
// bytes back when the new ones do not all get in (Damaged when that fails
// too). Mode and owner stay as they were.
WriteOutcome WriteWhole(const std::string& name, const std::string& content);

} // namespace file_io
