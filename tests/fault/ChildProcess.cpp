#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace fault {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until `pid` has ended, at most until `deadline`; true when it has.
// A pidfd lets poll() wait for the end without a sleeping loop.
bool WaitEnded(pid_t pid, Clock::time_point deadline)
{
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd < 0)
        return true;  // no pidfd: the caller's blocking waitpid does the waiting
    pollfd p{static_cast<int>(fd), POLLIN, 0};
    int rc = 0;
    do {
        rc = ::poll(&p, 1, RemainingMs(deadline));
    } while (rc < 0 && errno == EINTR);
    ::close(static_cast<int>(fd));
    return rc > 0;
}

int Reap(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return status;
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (m_pid > 0)
        (void)Kill(SIGKILL);
    CloseOutput();
}

void ChildProcess::CloseOutput()
{
    if (m_out >= 0)
        ::close(m_out);
    m_out = -1;
}

bool ChildProcess::Start(const std::vector<std::string> &argv, std::string *error)
{
    if (m_pid > 0 || argv.empty()) {
        *error = "already running or nothing to run";
        return false;
    }
    CloseOutput();
    m_eof = false;
    m_buffer.clear();

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        *error = "posix_spawn_file_actions_init failed";
        return false;
    }
    int rc = posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char *> args;
    args.reserve(argv.size() + 1);
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (rc == 0)
        rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        *error = argv[0] + ": " + std::strerror(rc);
        return false;
    }
    m_pid = pid;
    m_out = fds[0];
    return true;
}

bool ChildProcess::Fill(std::chrono::milliseconds timeout)
{
    if (m_out < 0 || m_eof)
        return false;
    pollfd p{m_out, POLLIN, 0};
    int rc = 0;
    do {
        rc = ::poll(&p, 1, static_cast<int>(timeout.count()));
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0)
        return false;
    char chunk[4096];
    ssize_t n = 0;
    do {
        n = ::read(m_out, chunk, sizeof chunk);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        m_eof = true;
        return false;
    }
    m_buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
}

bool ChildProcess::ReadLine(std::string *line, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const std::size_t nl = m_buffer.find('\n');
        if (nl != std::string::npos) {
            *line = m_buffer.substr(0, nl);
            m_buffer.erase(0, nl + 1);
            return true;
        }
        if (!Fill(std::chrono::milliseconds(RemainingMs(deadline))))
            return false;
    }
}

bool ChildProcess::WaitForLine(const std::string &text, std::chrono::milliseconds timeout,
                               std::string *line)
{
    const auto deadline = Clock::now() + timeout;
    std::string got;
    while (ReadLine(&got, std::chrono::milliseconds(RemainingMs(deadline)))) {
        if (got.find(text) != std::string::npos) {
            if (line != nullptr)
                *line = got;
            return true;
        }
    }
    return false;
}

std::string ChildProcess::ReadRest(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (Fill(std::chrono::milliseconds(RemainingMs(deadline)))) {
    }
    std::string rest;
    rest.swap(m_buffer);
    return rest;
}

int ChildProcess::Kill(int signal)
{
    if (m_pid <= 0)
        return -1;
    (void)::kill(m_pid, signal);
    const int status = Reap(m_pid);
    m_pid = -1;
    return status;
}

int ChildProcess::Wait(std::chrono::milliseconds timeout, bool *timedOut)
{
    if (m_pid <= 0)
        return -1;
    const bool ended = WaitEnded(m_pid, Clock::now() + timeout);
    if (timedOut != nullptr)
        *timedOut = !ended;
    if (!ended)
        return Kill(SIGKILL);
    const int status = Reap(m_pid);
    m_pid = -1;
    return status;
}

int RunToEnd(const std::vector<std::string> &argv, std::chrono::milliseconds timeout,
             std::string *output)
{
    ChildProcess child;
    std::string error;
    if (!child.Start(argv, &error)) {
        if (output != nullptr)
            *output = error;
        return -1;
    }
    std::string text = child.ReadRest(timeout);
    bool timedOut = false;
    const int status = child.Wait(timeout, &timedOut);
    if (output != nullptr)
        *output = std::move(text);
    if (timedOut || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace fault
