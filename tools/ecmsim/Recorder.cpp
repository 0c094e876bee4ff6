#include "tools/ecmsim/Recorder.h"

Recorder::~Recorder()
{
    if (file_)
        std::fclose(file_);
}

bool Recorder::Open(const std::string& name)
{
    file_ = std::fopen(name.c_str(), "a");
    return file_ != nullptr;
}

void Recorder::Reply(long number, const char* kind, const std::vector<std::uint8_t>& reply)
{
    if (!file_)
        return;
    std::fprintf(file_, "%ld %s", number, kind);
    for (std::uint8_t b : reply)
        std::fprintf(file_, " %02X", b);
    std::fputc('\n', file_);
    std::fflush(file_);
}

void Recorder::Hangup(long replies)
{
    if (!file_)
        return;
    std::fprintf(file_, "%ld hangup\n", replies);
    std::fflush(file_);
}

void Recorder::Turn(std::int64_t nowNs, long replies)
{
    if (file_ && lastTurn_ >= 0 && nowNs - lastTurn_ > StallNs) {
        std::fprintf(file_, "%ld stall %lld\n", replies, static_cast<long long>((nowNs - lastTurn_) / 1000000));
        std::fflush(file_);
    }
    lastTurn_ = nowNs;
}
