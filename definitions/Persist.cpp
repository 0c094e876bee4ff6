#include "Persist.h"

#include "decode/Errors.h"
#include "definitions/Dialogs.h"
#include "definitions/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// A file over the limits is refused unread, or once its bytes show it.
file_io::ReadResult ReadChecked(const std::string& name, std::string& data)
{
    file_io::ReadResult result = file_io::ReadWhole(name, data, TLxPersist::MaxFileSize);
    // Lines are counted and measured in one pass over the bytes.
    std::size_t lines = 0;
    for (std::size_t b = 0; result == file_io::ReadResult::Ok && b < data.size(); ++lines) {
        const void* lf = std::memchr(data.data() + b, '\n', data.size() - b);
        const std::size_t e = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data.data()) : data.size();
        if (e - b > TLxPersist::MaxLineLength || lines >= TLxPersist::MaxLines) result = file_io::ReadResult::TooLarge;
        b = e + 1;
    }
    return result;
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
    switch (ReadChecked(file, data)) {
    case file_io::ReadResult::Ok: break;
    case file_io::ReadResult::CantRead: return false;
    case file_io::ReadResult::TooLarge:
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
    const file_io::WriteOutcome out = file_io::WriteWhole(file, content);
    if (out.result == file_io::WriteResult::CantCreate) {
        CreateError = out.error ? out.error : EIO;
        CreateErrorName = file;
        return false;
    }
    if (out.result == file_io::WriteResult::Damaged) {
        Dialogs().Message("I/O error writing " + file + ": " + std::strerror(out.error) +
                              ". The file is damaged and its old content could not be put back; the unsaved "
                              "definition is still open here: save it under another name.",
                          "Diduvuve", MsgButtons::Ok, MsgKind::Error);
        return false;
    }
    if (out.result == file_io::WriteResult::IoError) {
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
