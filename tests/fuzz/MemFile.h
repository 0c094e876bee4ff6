#pragma once
// One in-memory file for the whole fuzz run, reachable by a path, so code
// that opens files by name reads fuzz input without touching the disk.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

class MemFile {
public:
    MemFile()
    {
        fd_ = ::memfd_create("fuzz-input", MFD_CLOEXEC);
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemFile() { ::close(fd_); }
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;

    // Makes the file hold exactly `size` bytes of `data`.
    const std::string& Set(const void* data, std::size_t size)
    {
        if (::ftruncate(fd_, 0) != 0 || (size && ::pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size))) {
            std::perror("memfd write");
            std::abort();
        }
        return path_;
    }
    const std::string& Set(const std::string& s) { return Set(s.data(), s.size()); }
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};
