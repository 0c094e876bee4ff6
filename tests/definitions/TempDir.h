#pragma once
// A private folder under $TMPDIR that is removed with everything in it,
// however the test ends.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

class TempDir {
public:
    TempDir()
    {
        const char* t = std::getenv("TMPDIR");
        std::string pattern = std::string(t && *t ? t : "/tmp") + "/diduvuve-defs-XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Number of entries in the folder (left-over temporary files show here).
    int Entries() const
    {
        int n = 0;
        for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(path_)) ++n;
        return n;
    }

private:
    std::string path_;
};

inline std::string ReadBytes(const std::string& name)
{
    std::ifstream f(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& name, const std::string& bytes)
{
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline ino_t Inode(const std::string& name)
{
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 ? st.st_ino : 0;
}
