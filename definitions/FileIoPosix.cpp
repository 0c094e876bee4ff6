// The file store's system calls on a POSIX system.
#include "definitions/FileIo.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace file_io {

namespace {

// Only a regular file is read: a pipe would hold up the window and a device
// may never end. Its size is checked before anything is read.
ReadResult ReadFile(const std::string& name, std::string& data, std::uint64_t maxSize)
{
    int fd;
    do fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return ReadResult::CantRead;
    struct stat st {};
    ReadResult result = ReadResult::Ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) result = ReadResult::CantRead;
    else if (static_cast<std::uint64_t>(st.st_size) > maxSize) result = ReadResult::TooLarge;
    else data.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    while (result == ReadResult::Ok) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = ReadResult::CantRead;
        if (n <= 0) break;
        data.append(buf, static_cast<std::size_t>(n));
        // A file still growing while it is read.
        if (data.size() > maxSize) result = ReadResult::TooLarge;
    }
    ::close(fd);
    return result;
}

bool WriteAllTo(int fd, const std::string& content, int& error)
{
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t w = ::write(fd, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        p += w;
        left -= static_cast<std::size_t>(w);
    }
    return true;
}

// When no temporary file can be made beside the target (a folder the user
// may not write, a name too long for the temporary's), the existing file is
// written over in place; mode and owner stay as they were. `tempError` is
// the reason given when the file itself can't be opened either.
WriteOutcome WriteInPlace(const std::string& target, const std::string& content, int tempError)
{
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {WriteResult::CantCreate, tempError};
    // the old bytes, to put back when the new ones do not all get in
    std::string old;
    const bool haveOld = ReadFile(target, old, std::uint64_t{64} << 20) == ReadResult::Ok;
    int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return {WriteResult::CantCreate, errno};
    int error = 0;
    // Cut only after the new text is in, so a failed write keeps the old length.
    bool ok = WriteAllTo(fd, content, error);
    if (ok && ::ftruncate(fd, static_cast<off_t>(content.size())) != 0) ok = false, error = errno;
    if (ok && ::fsync(fd) != 0 && errno != EINVAL) ok = false, error = errno;
    bool restored = ok;
    if (!ok) {
        int ignored = 0;
        restored = haveOld && ::lseek(fd, 0, SEEK_SET) == 0 && WriteAllTo(fd, old, ignored) &&
                   ::ftruncate(fd, static_cast<off_t>(old.size())) == 0 && (::fsync(fd) == 0 || errno == EINVAL);
    }
    if (::close(fd) != 0 && ok) ok = false, error = errno;
    if (ok) return {WriteResult::Ok};
    return {restored ? WriteResult::IoError : WriteResult::Damaged, error};
}

} // namespace

ReadResult ReadWhole(const std::string& name, std::string& data, std::uint64_t maxSize)
{
    return ReadFile(name, data, maxSize);
}

// Writes into a fresh file next to the target and renames it over the
// target, so a failure at any point leaves the old file as it was.
WriteOutcome WriteWhole(const std::string& name, const std::string& content)
{
    std::string target = name;
    struct stat lst {};
    if (::lstat(name.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        // Replace the file the link points to, not the link.
        if (char* real = ::realpath(name.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    std::string dir = ".", base = target;
    auto slash = target.rfind('/');
    if (slash != std::string::npos) {
        dir = slash == 0 ? "/" : target.substr(0, slash);
        base = target.substr(slash + 1);
    }
    if (base.empty()) return {WriteResult::CantCreate, EISDIR};

    static unsigned counter = 0;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = dir + "/." + base + "." + std::to_string(::getpid()) + "." + std::to_string(++counter) + ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return WriteInPlace(target, content, errno);

    struct stat st {};
    bool existed = ::stat(target.c_str(), &st) == 0;
    if (existed && S_ISREG(st.st_mode)) {
        (void)::fchmod(fd, st.st_mode & 07777);
        // Only a privileged user can give the file away; others keep theirs.
        (void)!::fchown(fd, st.st_uid, st.st_gid);
    }

    auto fail = [&](WriteResult r, int err) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return WriteOutcome{r, err};
    };

    int error = 0;
    if (!WriteAllTo(fd, content, error)) return fail(WriteResult::IoError, error);
    if (::fsync(fd) != 0 && errno != EINVAL) return fail(WriteResult::IoError, errno);
    int c = ::close(fd);
    fd = -1;
    if (c != 0) return fail(WriteResult::IoError, errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(WriteResult::CantCreate, errno);
    return {WriteResult::Ok};
}


} // namespace file_io
