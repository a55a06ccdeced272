#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace ktest {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// The caller's environment changed by `changes`: "NAME=value" sets NAME,
// "NAME" removes it, "PREFIX*" removes every variable starting so.
std::vector<std::string> Environment(const std::vector<std::string> &changes)
{
    const auto matches = [](const std::string &entry, const std::string &change) {
        const std::size_t eq = change.find('=');
        if (eq != std::string::npos)
            return entry.compare(0, eq + 1, change, 0, eq + 1) == 0;
        if (!change.empty() && change.back() == '*')
            return entry.compare(0, change.size() - 1, change, 0, change.size() - 1) == 0;
        return entry.compare(0, change.size() + 1, change + "=") == 0;
    };
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        if (std::none_of(changes.begin(), changes.end(), [&](const std::string &c) { return matches(*e, c); }))
            env.emplace_back(*e);
    }
    std::copy_if(changes.begin(), changes.end(), std::back_inserter(env),
                 [](const std::string &c) { return c.find('=') != std::string::npos; });
    return env;
}

// Appends what `*fd` has to `*into`; at its end (or on an error) closes it
// and sets it to -1.  False when nothing was read.
bool ReadInto(int *fd, std::string *into)
{
    char chunk[4096];
    const ssize_t n = ::read(*fd, chunk, sizeof chunk);
    if (n > 0) {
        into->append(chunk, static_cast<std::size_t>(n));
        return true;
    }
    if (n == 0 || errno != EINTR) {
        ::close(*fd);
        *fd = -1;
    }
    return false;
}

std::vector<char *> Pointers(const std::vector<std::string> &strings)
{
    std::vector<char *> p;
    for (const std::string &s : strings)
        p.push_back(const_cast<char *>(s.c_str()));
    p.push_back(nullptr);
    return p;
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (m_pid > 0)
        (void)Kill(SIGKILL);
    Close();
}

void ChildProcess::Close()
{
    for (int *fd : {&m_out, &m_errFd, &m_in}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool ChildProcess::Start(const std::vector<std::string> &argv, std::string *error,
                         const std::vector<std::string> &env, bool captureStderr, bool pipeStdin)
{
    if (m_pid > 0 || argv.empty()) {
        *error = "already running or nothing to run";
        return false;
    }
    Close();
    m_buffer.clear();
    m_err.clear();
    if (pipeStdin)
        (void)::signal(SIGPIPE, SIG_IGN);  // a child that ended fails Send()
    // Pipes for standard output, error and input (when wanted); the child's
    // end of each is dup2()ed onto its descriptor (1, 2, 0).
    const bool wanted[3] = {true, captureStderr, pipeStdin};
    int pipes[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};
    int rc = 0;
    for (int i = 0; i < 3 && rc == 0; ++i)
        rc = wanted[i] && ::pipe2(pipes[i], O_CLOEXEC) != 0 ? errno : 0;
    const auto childEnd = [&](int i) { return pipes[i][i == 2 ? 0 : 1]; };
    pid_t pid = -1;
    if (rc == 0) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (int i = 0; i < 3; ++i)
            if (wanted[i])
                posix_spawn_file_actions_adddup2(&actions, childEnd(i), (i + 1) % 3);
        const std::vector<std::string> environment = Environment(env);
        const std::vector<char *> args = Pointers(argv);
        const std::vector<char *> envp = Pointers(environment);
        rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
    }
    for (int i = 0; i < 3; ++i)
        if (childEnd(i) >= 0)
            ::close(childEnd(i));
    m_out = pipes[0][0];
    m_errFd = pipes[1][0];
    m_in = pipes[2][1];
    if (rc != 0) {
        Close();
        *error = argv[0] + ": " + std::strerror(rc);
        return false;
    }
    m_pid = pid;
    return true;
}

bool ChildProcess::Send(const std::string &text)
{
    std::size_t done = 0;
    while (m_in >= 0 && done < text.size()) {
        const ssize_t n = ::write(m_in, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR)
            return false;
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    return m_in >= 0;
}

void ChildProcess::CloseInput()
{
    if (m_in >= 0)
        ::close(m_in);
    m_in = -1;
}

bool ChildProcess::Fill(milliseconds timeout)
{
    // Standard error is drained alongside, so a chatty child never blocks;
    // once the output ends, standard error is read to its end (or the
    // deadline) too.  poll() skips the descriptors already closed (-1).
    const auto deadline = Clock::now() + timeout;
    while (m_out >= 0 || m_errFd >= 0) {
        pollfd p[2] = {{m_out, POLLIN, 0}, {m_errFd, POLLIN, 0}};
        const int rc = ::poll(p, 2, RemainingMs(deadline));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0) {
            if (m_out < 0) {  // standard error stays open past the output: give up on it
                ::close(m_errFd);
                m_errFd = -1;
            }
            return false;
        }
        if (p[1].revents != 0)
            ReadInto(&m_errFd, &m_err);
        if (p[0].revents != 0 && ReadInto(&m_out, &m_buffer))
            return true;
    }
    return false;
}

bool ChildProcess::ReadLine(std::string *line, milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const std::size_t nl = m_buffer.find('\n');
        if (nl != std::string::npos) {
            *line = m_buffer.substr(0, nl);
            m_buffer.erase(0, nl + 1);
            return true;
        }
        if (!Fill(milliseconds(RemainingMs(deadline))))
            return false;
    }
}

bool ChildProcess::WaitForLine(const std::string &text, milliseconds timeout, std::string *line)
{
    const auto deadline = Clock::now() + timeout;
    std::string got;
    while (ReadLine(&got, milliseconds(RemainingMs(deadline)))) {
        if (got.find(text) != std::string::npos) {
            if (line != nullptr)
                *line = got;
            return true;
        }
    }
    return false;
}

std::string ChildProcess::ReadRest(milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (Fill(milliseconds(RemainingMs(deadline)))) {
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
    return Wait(std::chrono::minutes(1));  // then SIGKILL: every wait is bounded
}

int ChildProcess::Wait(milliseconds timeout)
{
    if (m_pid <= 0)
        return -1;
    int status = -1;
    const auto deadline = Clock::now() + timeout;
    pid_t rc = 0;
    while ((rc = ::waitpid(m_pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(2));
    if (rc == 0) {  // still running: killed, then reaped without a limit
        (void)::kill(m_pid, SIGKILL);
        (void)::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    return rc < 0 ? -1 : status;
}

RunResult Run(const std::vector<std::string> &argv, milliseconds timeout,
              const std::vector<std::string> &env, const std::string &input)
{
    RunResult result;
    ChildProcess child;
    if (!child.Start(argv, &result.err, env, true, true))
        return result;
    (void)child.Send(input);
    child.CloseInput();
    const auto deadline = Clock::now() + timeout;
    result.out = child.ReadRest(timeout);
    // Output ends a moment before the process does; one still running at
    // the deadline is killed, so it has no exit code.
    const int status = child.Wait(milliseconds(std::max(RemainingMs(deadline), 1000)));
    result.err = child.Stderr();
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

} // namespace ktest
