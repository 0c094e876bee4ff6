#pragma once
// Test harness: the simulated ECM as a child process on a fresh
// pseudo-terminal, reachable as serial port COM<n> through the serial link
// library while the harness lives.
//
//   EcmSim sim({"--no-echo"});          // starts, waits for READY, or throws
//   scInit(sim.Com(), "baud=8192 parity=N data=8 stop=1");
//   ...
//   // destructor: SIGTERM (SIGKILL after 2 s), reaps the child, removes the
//   // temporary config folder and restores XDG_CONFIG_HOME.
//
// While alive, XDG_CONFIG_HOME of this process points at a temporary folder
// (mkdtemp under $TMPDIR, else /tmp) that holds serilink/COM<n>, a link to
// the simulator's pseudo-terminal. One harness at a time per process.
// Fault options are passed as they are to ecmsim (see `ecmsim --help`).
// Beware: bytes the reader has not read are lost when the simulator ends.
#include <string>
#include <sys/types.h>
#include <vector>

class EcmSim {
public:
    explicit EcmSim(std::vector<std::string> options = {}, int com = 1);
    ~EcmSim();
    EcmSim(const EcmSim&) = delete;
    EcmSim& operator=(const EcmSim&) = delete;

    int Com() const { return com_; }
    // The pseudo-terminal's slave device, e.g. /dev/pts/3.
    const std::string& Device() const { return device_; }
    // The temporary folder XDG_CONFIG_HOME points at.
    const std::string& ConfigDir() const { return dir_; }
    pid_t Pid() const { return pid_; }

    // Waits up to timeoutMs for the simulator to end by itself (for
    // --hangup-after); its exit status, or -1 when it is still running.
    int WaitExit(int timeoutMs);
    // Stops the simulator now (as the destructor does); its exit status.
    int Stop();

    // The path of the ecmsim binary used.
    static std::string Binary();

private:
    int com_;
    pid_t pid_ = -1;
    int status_ = -1;
    std::string dir_;
    std::string device_;
    std::string oldXdg_;
    bool hadXdg_ = false;
};
