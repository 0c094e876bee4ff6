#pragma once
// A keyed, sectioned text file held whole in memory as lines. Lines the
// store does not interpret (comments, blank lines, unknown sections) are
// kept as they are, so a file written here reloads and re-saves unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TLxPersist {
public:
    // A definition of the most words the window takes is under 2 MiB and
    // 10,010 lines, a settings file a few KiB: a larger file is refused
    // unread, which keeps memory (about twice its size) and look-ups bounded.
    // A row with every flag name a byte can have is under 8 KiB; a longer
    // line would take the window seconds to draw in a cell or message.
    static constexpr std::uint64_t MaxFileSize = std::uint64_t{16} << 20;
    static constexpr std::size_t MaxLines = std::size_t{1} << 14;
    static constexpr std::size_t MaxLineLength = std::size_t{1} << 16;

    std::vector<std::string> Lines; // without line ends
    std::string FileName;           // empty = none
    bool Modified = false;

    void SetFileName(const std::string& name);
    void SetModified(bool value);

    // An empty name asks for one through the open dialog. A file that can't
    // be read gives false and changes nothing; so does one that is not a
    // regular file, or is too large, which is also said in a message box
    // (not by ReloadFile) and kept in LoadError.
    bool LoadFile(const std::string& name);
    bool ReloadFile();
    std::string LoadError;
    // An empty name asks through the save dialog (and before replacing an
    // existing file). The old file is replaced only once the new content is
    // completely on disk.
    bool SaveFile(const std::string& name);
    // Set by a SaveFile that could not create its file, which says nothing
    // itself: the system's error number and the name, for a caller that
    // must tell the user (0 and empty otherwise).
    int CreateError = 0;
    std::string CreateErrorName;
    bool SaveIfModified();

    // Section and key look-ups fold ASCII letters; no trimming.
    int FindSection(const std::string& section) const;
    int FindKey(const std::string& section, const std::string& key) const;
    int AddSection(const std::string& section);
    // The whole value after the first "=" (no length limit, so a long row is
    // never cut and written back short).
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // Throws ERangeError, changing nothing, for a key or value holding a line
    // feed: it would split into two lines on the next read.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void DeleteKey(const std::string& section, const std::string& key);

private:
    bool Load(const std::string& file, bool quiet);
};
