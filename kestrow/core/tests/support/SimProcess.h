// A real adapter-sim process on a private adapter directory, for the
// integration tests.  While it lives LUNMARK_ADAPTER_DIR names its directory.
#pragma once

#include <string>
#include <sys/types.h>

namespace kestrow::test {

class SimProcess {
public:
    // Starts `program` with a scenario written from `scenario` (empty: the
    // simulator's default) and waits for its ready line.  ok() tells
    // whether it came up.
    SimProcess(const std::string &program, const std::string &scenario);
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool ok() const { return ready_; }
    const std::string &dir() const { return dir_; }
    // Runs "adapter-sim ctl" with a command for adapter sim0; false when it
    // failed.  Its output goes to *output when given.
    bool Ctl(const std::string &command, std::string *output = nullptr) const;

private:
    std::string program_;
    std::string dir_;
    pid_t pid_ = -1;
    int stdout_ = -1;  // kept open: the simulator must never write into a closed pipe
    bool ready_ = false;
};

} // namespace kestrow::test
