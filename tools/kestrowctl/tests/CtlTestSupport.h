// Test support: a private directory with a registry, an adapter directory
// and a runtime directory; a real adapter-sim on it; and runs of the real
// kestrowctl (and other programs) in that environment.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace ctltest {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CtlEnv {
public:
    // Creates the directories; starts adapter-sim with `scenario` (empty:
    // its default scenario) unless `withSim` is false.
    explicit CtlEnv(bool withSim = true, const std::string &scenario = {});
    ~CtlEnv();
    CtlEnv(const CtlEnv &) = delete;
    CtlEnv &operator=(const CtlEnv &) = delete;

    bool SimReady() const { return simReady_; }
    const std::string &Dir() const { return dir_; }
    std::string Registry() const { return dir_ + "/registry.sqlite3"; }
    std::string RuntimeDir() const { return dir_ + "/run"; }
    std::string AdapterDir() const { return dir_ + "/adapters"; }

    // kestrowctl with these arguments in this environment.
    RunResult Ctl(const std::vector<std::string> &args) const;
    // Any program, with this environment (and `extraEnv` "NAME=value").
    RunResult Program(const std::string &path, const std::vector<std::string> &args,
                const std::vector<std::string> &extraEnv = {}) const;
    // Starts a program in the background with this environment; its pid.
    pid_t Spawn(const std::string &path, const std::vector<std::string> &args,
                const std::vector<std::string> &extraEnv = {}) const;
    // "adapter-sim ctl sim0 COMMAND..."; true on success.
    bool SimCtl(const std::vector<std::string> &command) const;

private:
    std::vector<std::string> Environment(const std::vector<std::string> &extra) const;

    std::string dir_;
    pid_t simPid_ = -1;
    int simOut_ = -1;
    bool simReady_ = false;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string &path);
bool Exists(const std::string &path);
// Stops a background program (SIGTERM, then waits for it).
void Stop(pid_t pid);

} // namespace ctltest
