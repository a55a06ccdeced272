// A child process started from argv with its standard output on a pipe:
// the fault tests start simulators and helper programs with it, read what
// they report line by line with a bounded wait, and kill them outright.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace fault {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts argv[0] (a path) with the caller's environment; standard
    // error stays the caller's.  False with *error set when it cannot start.
    bool Start(const std::vector<std::string> &argv, std::string *error);
    bool Running() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // Next line of standard output (without the newline).  False when none
    // came within `timeout` or the output ended.
    bool ReadLine(std::string *line, std::chrono::milliseconds timeout);
    // Reads lines until one contains `text`; false on timeout or end.
    bool WaitForLine(const std::string &text, std::chrono::milliseconds timeout,
                     std::string *line = nullptr);
    // Everything still to come on standard output, until it ends (bounded).
    std::string ReadRest(std::chrono::milliseconds timeout);

    // Sends `signal` and reaps the process; returns its wait status.
    int Kill(int signal);
    // Waits for the process to end by itself (at most `timeout`; then it is
    // killed).  Returns the wait status; *timedOut tells which happened.
    int Wait(std::chrono::milliseconds timeout, bool *timedOut = nullptr);

private:
    void CloseOutput();
    // Reads what is available within `timeout` into m_buffer; false at end
    // of output or on timeout with nothing read.
    bool Fill(std::chrono::milliseconds timeout);

    pid_t m_pid = -1;
    int m_out = -1;
    bool m_eof = false;
    std::string m_buffer;
};

// Runs argv to its end (at most `timeout`) and returns its exit code, -1 when
// it could not start, did not end in time or died of a signal; its standard
// output in *output.
int RunToEnd(const std::vector<std::string> &argv, std::chrono::milliseconds timeout,
             std::string *output);

} // namespace fault
