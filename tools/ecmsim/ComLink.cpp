#include "tools/ecmsim/ComLink.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string LinkDir()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/serilink";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/serilink";
}

bool MakeDirs(const std::string& path)
{
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    return true;
}

} // namespace

bool ComLink::Create(int com, const std::string& target)
{
    const std::string dir = LinkDir();
    const std::string link = dir + "/COM" + std::to_string(com);
    link_ = link; // named in the caller's message even when this fails
    if (!MakeDirs(dir))
        return false;
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            errno = EEXIST;
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0)
        return false;
    target_ = target;
    return true;
}

void ComLink::Remove()
{
    if (target_.empty())
        return;
    char buf[4096];
    ssize_t n = readlink(link_.c_str(), buf, sizeof buf - 1);
    if (n > 0) {
        buf[n] = '\0';
        if (target_ == buf)
            unlink(link_.c_str());
    }
    target_.clear();
}
