#pragma once
// The logger's status on standard error: once a second on a terminal (one
// line rewritten in place), else every ten seconds.
#include <string>

class Reporter {
public:
    Reporter();

    void Line(const std::string& text);
    // A message that must stay visible: on a terminal it ends the status line.
    void Note(const std::string& text);
    void Finish();
    int PeriodMs() const { return tty_ ? 1000 : 10000; }

private:
    bool tty_;
    bool drawn_ = false;
};
