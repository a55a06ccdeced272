// A child process started from argv, with its standard output on a pipe
// read line by line under a deadline, optionally its standard error
// collected, and extra environment entries.  Every wait is bounded.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ktest {

using std::chrono::milliseconds;

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts argv[0] (a path, or a name looked up in PATH) with the caller's
    // environment changed by `env`: "NAME=value" sets NAME, "NAME" removes
    // it, "PREFIX*" removes every variable whose name starts with PREFIX.
    // Standard error is collected when `captureStderr`, else it stays the
    // caller's; standard input is a pipe for Send() when `pipeStdin`, else
    // the caller's.  False with *error set when it cannot start.
    bool Start(const std::vector<std::string> &argv, std::string *error,
               const std::vector<std::string> &env = {}, bool captureStderr = false,
               bool pipeStdin = false);
    // Writes to standard input; false when it is closed or the write fails.
    bool Send(const std::string &text);
    void CloseInput();

    // Next line of standard output (without the newline); false when none
    // came within `timeout` or the output ended.
    bool ReadLine(std::string *line, milliseconds timeout);
    // Reads lines until one contains `text`; false on timeout or end.
    bool WaitForLine(const std::string &text, milliseconds timeout, std::string *line = nullptr);
    // Everything still to come on standard output, until it ends (bounded).
    std::string ReadRest(milliseconds timeout);
    // Standard error collected so far (when captured).
    const std::string &Stderr() const { return m_err; }

    // Sends `signal` and reaps the process; its wait status.
    int Kill(int signal);
    // Waits for the end (at most `timeout`; then the process is killed).
    // The wait status.
    int Wait(milliseconds timeout);

private:
    void Close();
    bool Fill(milliseconds timeout);

    pid_t m_pid = -1;
    int m_out = -1;
    int m_errFd = -1;
    int m_in = -1;
    std::string m_buffer;
    std::string m_err;
};

// The outcome of a program run to its end.
struct RunResult {
    int exitCode = -1;  // -1: could not start, did not end in time, or a signal
    std::string out;
    std::string err;
};

// Runs argv to its end (at most `timeout`) with the environment changed by
// `env` as for ChildProcess::Start, and `input` on its standard input.
RunResult Run(const std::vector<std::string> &argv, milliseconds timeout,
              const std::vector<std::string> &env = {}, const std::string &input = {});

} // namespace ktest
