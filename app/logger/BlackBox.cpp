#include "app/logger/BlackBox.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

BlackBox::BlackBox()
{
    writer_.SyncInBackground([this](int err) {
        std::fprintf(stderr, "diduvuve-logger: %s: I/O error syncing log file: %s; trying again\n",
                     writer_.Name().c_str(), std::strerror(err));
        std::fflush(stderr);
    });
}

bool BlackBox::Create(const std::string& name, std::string& error)
{
    Close();
    errno = 0;
    if (!writer_.Create(name)) {
        error = std::strerror(errno ? errno : EIO);
        return false;
    }
    // The new name itself must survive a power cut too.
    const std::string::size_type slash = name.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : name.substr(0, slash ? slash : 1);
    const int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        ::fsync(d);
        ::close(d);
    }
    return true;
}
