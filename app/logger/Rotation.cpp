#include "app/logger/Rotation.h"

#include <sys/stat.h>

std::string StartName(const std::string& dir, std::time_t when)
{
    std::tm local {};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = dir + "/" + stamp;
    std::string name = base + ".alg";
    struct stat st {};
    for (int k = 2; ::lstat(name.c_str(), &st) == 0; ++k) name = base + "-" + std::to_string(k) + ".alg";
    return name;
}

bool Rotation::Start(std::int64_t nowMs, std::string& error)
{
    if (!box_.Create(StartName(dir_, std::time(nullptr)), error)) return false;
    startMs_ = nowMs;
    return true;
}

bool Rotation::Turn(std::int64_t nowMs, std::string& error)
{
    return everyMs_ <= 0 || nowMs - startMs_ < everyMs_ || Start(nowMs, error);
}
