#include "app/logger/Reporter.h"

#include <cstdio>
#include <unistd.h>

Reporter::Reporter() : tty_(::isatty(STDERR_FILENO) == 1) {}

void Reporter::Line(const std::string& text)
{
    if (tty_) std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
    else std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    drawn_ = tty_;
}

void Reporter::Note(const std::string& text)
{
    if (drawn_) std::fputc('\n', stderr);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    drawn_ = false;
}

void Reporter::Finish()
{
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
}
