#pragma once
// Helpers for tests that need a port without the simulator.
#include <string>

// A temporary XDG_CONFIG_HOME with an empty serilink folder; restores the
// variable and removes the folder when it goes.
class TempConfig {
public:
    TempConfig();
    ~TempConfig();
    TempConfig(const TempConfig&) = delete;
    TempConfig& operator=(const TempConfig&) = delete;
    // Makes serilink/COM<com> a link to target.
    void Link(int com, const std::string& target) const;
    const std::string& Dir() const { return dir_; }

private:
    std::string dir_;
    std::string old_;
    bool hadOld_ = false;
};

// A pseudo-terminal whose master the test reads itself: what a port
// opened on the slave sends is what Drain() returns.
class RawLine {
public:
    RawLine();
    ~RawLine();
    RawLine(const RawLine&) = delete;
    RawLine& operator=(const RawLine&) = delete;
    const std::string& Slave() const { return slave_; }
    // Everything the master can read within timeoutMs of quiet.
    std::string Drain(int timeoutMs = 50) const;
    void Send(const std::string& bytes) const;

private:
    int master_ = -1;
    int slave_fd_ = -1;
    std::string slave_;
};

// Number of open file descriptors of this process.
int OpenFdCount();

extern "C" {
// c_ospeed of the terminal this process holds open as `path`; -1 if none.
long ProbeHeldSpeed(const char* path);
}
