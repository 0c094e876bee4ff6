#include "Persist.h"

#include "decode/Errors.h"
#include "definitions/Dialogs.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kFilter = "ALDL definitions|*.ald";
const char* const kExt = "ald";

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameFolded(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

// Whether the text before the line's first "=" (empty without one) folds to
// `key`; compared in place, as a long file asks this of every line.
bool KeyIs(const std::string& line, const std::string& key)
{
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return key.empty();
    if (eq != key.size()) return false;
    for (std::size_t i = 0; i < eq; ++i)
        if (line[i] != key[i] && Upper(line[i]) != Upper(key[i])) return false;
    return true;
}

// LF ends a line and a CR right before it belongs to the line end; every
// other byte is content, so nothing the program does not understand changes.
std::vector<std::string> SplitLines(const std::string& data)
{
    std::vector<std::string> out;
    std::size_t b = 0;
    while (b < data.size()) {
        std::size_t e = data.find('\n', b);
        if (e == std::string::npos) {
            out.push_back(data.substr(b));
            break;
        }
        std::size_t le = e;
        if (le > b && data[le - 1] == '\r') --le;
        out.emplace_back(data, b, le - b);
        b = e + 1;
    }
    return out;
}

enum class ReadResult { Ok, CantRead, TooLarge };

// Only a regular file is read: a pipe would hold up the window and a device
// may never end. Its size is checked before anything is read.
ReadResult ReadWhole(const std::string& name, std::string& data)
{
    int fd;
    do fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return ReadResult::CantRead;
    struct stat st {};
    ReadResult result = ReadResult::Ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) result = ReadResult::CantRead;
    else if (static_cast<std::uint64_t>(st.st_size) > TLxPersist::MaxFileSize) result = ReadResult::TooLarge;
    else data.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    while (result == ReadResult::Ok) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = ReadResult::CantRead;
        if (n <= 0) break;
        data.append(buf, static_cast<std::size_t>(n));
        // A file still growing while it is read.
        if (data.size() > TLxPersist::MaxFileSize) result = ReadResult::TooLarge;
    }
    ::close(fd);
    // Lines are counted and measured in one pass over the bytes.
    std::size_t lines = 0;
    for (std::size_t b = 0; result == ReadResult::Ok && b < data.size(); ++lines) {
        const void* lf = std::memchr(data.data() + b, '\n', data.size() - b);
        const std::size_t e = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data.data()) : data.size();
        if (e - b > TLxPersist::MaxLineLength || lines >= TLxPersist::MaxLines) result = ReadResult::TooLarge;
        b = e + 1;
    }
    return result;
}

enum class WriteResult { Ok, CantCreate, IoError, Damaged };

struct WriteOutcome {
    WriteResult result;
    int error = 0;
};

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
    const bool haveOld = ReadWhole(target, old) == ReadResult::Ok;
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

} // namespace

void TLxPersist::SetFileName(const std::string& name) { FileName = name; }

void TLxPersist::SetModified(bool value) { Modified = value; }

bool TLxPersist::LoadFile(const std::string& name)
{
    std::string file = name;
    if (file.empty()) {
        auto chosen = Dialogs().OpenFileName(kFilter, kExt);
        if (!chosen || chosen->empty()) return false;
        file = *chosen;
    }
    return Load(file, false);
}

bool TLxPersist::Load(const std::string& file, bool quiet)
{
    LoadError.clear();
    std::string data;
    switch (ReadWhole(file, data)) {
    case ReadResult::Ok: break;
    case ReadResult::CantRead: return false;
    case ReadResult::TooLarge:
        LoadError = "File " + file + " is too large to be read (the limits are " + std::to_string(MaxFileSize >> 20) +
                    " MiB, " + std::to_string(MaxLines) + " lines and " + std::to_string(MaxLineLength) +
                    " characters in a line).";
        if (!quiet) Dialogs().Message(LoadError, "Diduvuve", MsgButtons::Ok, MsgKind::Error);
        return false;
    }
    Lines = SplitLines(data);
    FileName = file;
    Modified = false;
    return true;
}

// Quiet: the file was the store's own, and a caller re-reading it before a
// write must not raise a message box each time.
bool TLxPersist::ReloadFile() { return FileName.empty() ? true : Load(FileName, true); }

bool TLxPersist::SaveFile(const std::string& name)
{
    std::string file = name;
    if (file.empty()) {
        auto chosen = Dialogs().SaveFileName(kFilter, kExt);
        if (!chosen || chosen->empty()) return false;
        file = *chosen;
        if (!ConfirmReplace(file)) return false;
    }
    std::string content;
    std::size_t size = 0;
    for (const auto& l : Lines) size += l.size() + 2;
    content.reserve(size);
    for (const auto& l : Lines) {
        content += l;
        content += "\r\n";
    }
    CreateError = 0;
    CreateErrorName.clear();
    // Never write a file that LoadFile would refuse.
    bool tooLarge = content.size() > MaxFileSize || Lines.size() > MaxLines;
    for (std::size_t i = 0; i < Lines.size() && !tooLarge; ++i) tooLarge = Lines[i].size() + 1 > MaxLineLength;
    if (tooLarge) {
        Dialogs().Message("Can't save file " + file + ": it would be too large to be read again (the limits are " +
                              std::to_string(MaxFileSize >> 20) + " MiB, " + std::to_string(MaxLines) + " lines and " +
                              std::to_string(MaxLineLength) + " characters in a line).",
                          "Diduvuve", MsgButtons::Ok, MsgKind::Error);
        return false;
    }
    WriteOutcome out = WriteWhole(file, content);
    if (out.result == WriteResult::CantCreate) {
        CreateError = out.error ? out.error : EIO;
        CreateErrorName = file;
        return false;
    }
    if (out.result == WriteResult::Damaged) {
        Dialogs().Message("I/O error writing " + file + ": " + std::strerror(out.error) +
                              ". The file is damaged and its old content could not be put back; the unsaved "
                              "definition is still open here: save it under another name.",
                          "Diduvuve", MsgButtons::Ok, MsgKind::Error);
        return false;
    }
    if (out.result == WriteResult::IoError) {
        Dialogs().Message("I/O error writing " + file + ": " + std::strerror(out.error), "Diduvuve", MsgButtons::Ok,
                          MsgKind::Error);
        return false;
    }
    FileName = file;
    Modified = false;
    return true;
}

bool TLxPersist::SaveIfModified() { return Modified ? SaveFile(FileName) : true; }

int TLxPersist::FindSection(const std::string& section) const
{
    for (std::size_t i = 0; i < Lines.size(); ++i)
        if (SameFolded(Lines[i], section)) return static_cast<int>(i);
    return -1;
}

int TLxPersist::FindKey(const std::string& section, const std::string& key) const
{
    int s = FindSection(section);
    if (s < 0) return -1;
    for (std::size_t i = static_cast<std::size_t>(s) + 1; i < Lines.size(); ++i) {
        const std::string& l = Lines[i];
        if (!l.empty() && l[0] == '[') break;
        if (KeyIs(l, key)) return static_cast<int>(i);
    }
    return -1;
}

int TLxPersist::AddSection(const std::string& section)
{
    int s = FindSection(section);
    if (s >= 0) return s;
    if (!Lines.empty()) Lines.emplace_back();
    Lines.push_back(section);
    Modified = true;
    return static_cast<int>(Lines.size()) - 1;
}

std::string TLxPersist::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    int i = FindKey(section, key);
    if (i < 0) return def;
    const std::string& l = Lines[static_cast<std::size_t>(i)];
    auto eq = l.find('=');
    return eq == std::string::npos ? def : l.substr(eq + 1);
}

void TLxPersist::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    if (section.find('\n') != std::string::npos || key.find('\n') != std::string::npos ||
        value.find('\n') != std::string::npos)
        throw ERangeError("Line break in the value of " + key + " can't be stored");
    std::string line = key + "=" + value;
    int i = FindKey(section, key);
    if (i < 0) {
        int s = AddSection(section);
        Lines.insert(Lines.begin() + s + 1, std::move(line));
        Modified = true;
        return;
    }
    std::string& l = Lines[static_cast<std::size_t>(i)];
    auto eq = l.find('=');
    if (eq != std::string::npos && l.compare(eq + 1, std::string::npos, value) == 0) return;
    l = std::move(line);
    Modified = true;
}

void TLxPersist::DeleteKey(const std::string& section, const std::string& key)
{
    int i = FindKey(section, key);
    if (i < 0) return;
    Lines.erase(Lines.begin() + i);
    Modified = true;
}
