#include "ChildProcess.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace lunmark_test {

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> argv_text{program};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : argv_text)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    out_fd_ = out[0];
    err_fd_ = err[0];
    if (rc != 0) {
        ::close(out_fd_);
        ::close(err_fd_);
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0)
        wait();
}

ProcessResult ChildProcess::wait() {
    ProcessResult result;
    if (pid_ <= 0)
        return result;
    // Both pipes are drained together so that neither can fill and stall
    // the child.
    std::string *sinks[2] = {&result.out, &result.err};
    int fds[2] = {out_fd_, err_fd_};
    int open_fds = 2;
    while (open_fds > 0) {
        pollfd p[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i] < 0 || p[i].revents == 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i], buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i]);
                fds[i] = -1;
                --open_fds;
            }
        }
    }
    for (int fd : fds)
        if (fd >= 0)
            ::close(fd);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFEXITED(status))
        result.exit_code = WEXITSTATUS(status);
    return result;
}

ProcessResult ChildProcess::run(const std::string &program, const std::vector<std::string> &args) {
    ChildProcess child(program, args);
    return child.wait();
}

} // namespace lunmark_test
