// A real adapter-sim process for tests: started on an adapter directory with
// a scenario, steered through "adapter-sim ctl" (latency, drop-link, vanish,
// stats, log, ...), killed outright or stopped.  Plain C++: usable from
// GoogleTest and Qt Test programs alike.  Every wait is bounded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"

namespace ktest {

class AdapterSim {
public:
    // `adapterDir` empty: a private one below a temporary folder.
    explicit AdapterSim(std::string adapterDir = {});
    ~AdapterSim();
    AdapterSim(const AdapterSim &) = delete;
    AdapterSim &operator=(const AdapterSim &) = delete;

    // The built adapter-sim program.
    static std::string Program();

    // Starts the simulator with `scenario` text (empty: its default
    // scenario) and waits until it reports ready.  False with *error set
    // when it did not come up.
    bool Start(const std::string &scenario = {}, std::string *error = nullptr);
    // Starts again with the last scenario (on the same directory).
    bool Restart(std::string *error = nullptr);
    void KillHard();  // SIGKILL: the sockets stay behind
    void Stop();      // SIGTERM and wait

    // "adapter-sim ctl --dir DIR ADAPTER COMMAND..." (the command split at
    // blanks); true on exit code 0, its output in *reply.
    bool Ctl(const std::string &command, std::string *reply = nullptr,
             const std::string &adapter = "sim0") const;
    // The number after `key` in the output of "stats"; false when missing.
    bool Stat(const std::string &key, std::uint64_t *value) const;

    const std::string &AdapterDir() const { return m_AdapterDir; }
    // "LUNMARK_ADAPTER_DIR=..." for the environment of a child process.
    std::string EnvEntry() const { return "LUNMARK_ADAPTER_DIR=" + m_AdapterDir; }
    // Sets LUNMARK_ADAPTER_DIR in this process until the simulator object
    // ends, for code under test that talks to it in process.
    void ExportEnvironment();

private:
    TempDir m_Temp;
    std::string m_AdapterDir;
    std::vector<std::string> m_Args;
    ChildProcess m_Process;
    bool m_Exported = false;
};

} // namespace ktest
