// Runs a program to its end for tests, with its output captured.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace lunmark_test {

struct ProcessResult {
    int exit_code = -1; // -1 when it did not exit normally
    std::string out;
    std::string err;
};

class ChildProcess {
public:
    // Starts `program` with `args` (without argv[0]); the environment is
    // this process's.  Throws std::runtime_error when it cannot start.
    ChildProcess(const std::string &program, const std::vector<std::string> &args);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Reads all output and waits for the exit.
    ProcessResult wait();

    // Starts the program and waits for it.
    static ProcessResult run(const std::string &program, const std::vector<std::string> &args);

private:
    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
};

} // namespace lunmark_test
