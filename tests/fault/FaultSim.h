// A real adapter-sim process playing "sim0" on a given adapter directory,
// which the fault tests kill, restart and steer through its control socket.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "ChildProcess.h"

namespace fault {

// One adapter "sim0" with an open 802.11g network "KestrowNet" on channel 6
// at a steady -61 dBm, and a short scan.
std::string OpenNetworkScenario();

class FaultSim {
public:
    // `program`: path of adapter-sim; `dir`: adapter directory; `scenario`:
    // scenario file (written by the caller).
    FaultSim(std::string program, std::string dir, std::string scenario);

    // Starts the simulator and waits (bounded) until it says it is ready.
    bool Start(std::string *error);
    // SIGKILL: the process ends without removing its sockets.
    void KillHard();
    // SIGTERM and wait for the end.
    void Stop();
    bool Running() const { return m_Process.Running(); }

    // "adapter-sim ctl --dir DIR sim0 COMMAND..."; true on exit code 0, with
    // its output in *reply when given.
    bool Control(const std::string &command, std::string *reply = nullptr) const;
    // The number after `key` in the output of `stats`; false when missing.
    bool Stat(const std::string &key, std::uint64_t *value) const;

private:
    std::string m_Program;
    std::string m_Dir;
    std::string m_Scenario;
    ChildProcess m_Process;
};

} // namespace fault
