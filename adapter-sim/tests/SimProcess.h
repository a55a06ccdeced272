// Runs the real adapter-sim program for process tests: started on a
// private adapter directory, ready once it prints its "ready" line.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sim_test {

class SimProcess {
public:
    SimProcess() = default;
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;
    ~SimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            int st = 0;
            ::waitpid(m_pid, &st, 0);
        }
        for (int fd : {m_out, m_err})
            if (fd >= 0)
                ::close(fd);
    }

    // Starts the program; true once it reports ready, false when it exits
    // first (its exit code and stderr are then available).
    bool start(const std::vector<std::string> &args) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            std::vector<char *> argv;
            std::string exe = ADAPTER_SIM_EXE;
            argv.push_back(exe.data());
            std::vector<std::string> copy = args;
            for (auto &a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
        // Wait for the ready line (or the end of output: the program failed).
        std::string text;
        char buf[256];
        while (text.find("ready") == std::string::npos) {
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, 20000) <= 0)
                return false;
            const ssize_t n = ::read(m_out, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                wait_exit();
                return false;
            }
            text.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }

    // Waits for the program to end; its exit code, or -1.
    int wait_exit() {
        if (m_pid <= 0)
            return m_code;
        int st = 0;
        while (::waitpid(m_pid, &st, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        m_code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        return m_code;
    }

    void kill_hard() {
        if (m_pid > 0)
            ::kill(m_pid, SIGKILL);
        wait_exit();
    }

    std::string stderr_text() {
        std::string text;
        char buf[512];
        ::fcntl(m_err, F_SETFL, O_NONBLOCK);
        ssize_t n;
        while ((n = ::read(m_err, buf, sizeof buf)) > 0)
            text.append(buf, static_cast<std::size_t>(n));
        return text;
    }

private:
    pid_t m_pid = -1;
    int m_code = -1;
    int m_out = -1, m_err = -1;
};

} // namespace sim_test
