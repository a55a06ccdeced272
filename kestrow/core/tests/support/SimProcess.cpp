#include "SimProcess.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace kestrow::test {

namespace {

// Spawns argv with stdout on a pipe; returns the pid (-1 on failure) and the
// read end in *out.
pid_t Spawn(const std::vector<std::string> &args, int *out)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return -1;
    }
    *out = fds[0];
    return pid;
}

// Reads one line (without its end); false at end of file.
bool ReadLine(int fd, std::string *line)
{
    line->clear();
    char c;
    for (;;) {
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0)
            return !line->empty();
        if (c == '\n')
            return true;
        line->push_back(c);
    }
}

} // namespace

SimProcess::SimProcess(const std::string &program, const std::string &scenario) : program_(program)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrow-sim-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return;
    dir_ = pattern;
    std::vector<std::string> args{program_, "--exit-with-parent", "--dir", dir_ + "/adapters"};
    std::filesystem::create_directory(dir_ + "/adapters");
    if (!scenario.empty()) {
        std::ofstream(dir_ + "/test.scn") << scenario;
        args.push_back("--scenario");
        args.push_back(dir_ + "/test.scn");
    }
    int fd = -1;
    pid_ = Spawn(args, &fd);
    if (pid_ < 0)
        return;
    std::string line;
    while (ReadLine(fd, &line)) {
        if (line.find("ready") != std::string::npos) {
            ready_ = true;
            break;
        }
    }
    stdout_ = fd;
    setenv("LUNMARK_ADAPTER_DIR", (dir_ + "/adapters").c_str(), 1);
}

SimProcess::~SimProcess()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        (void)waitpid(pid_, &status, 0);
    }
    if (stdout_ >= 0)
        close(stdout_);
    unsetenv("LUNMARK_ADAPTER_DIR");
    std::error_code ignored;
    if (!dir_.empty())
        std::filesystem::remove_all(dir_, ignored);
}

bool SimProcess::Ctl(const std::string &command, std::string *output) const
{
    int fd = -1;
    const pid_t pid = Spawn({program_, "ctl", "--dir", dir_ + "/adapters", "sim0", command}, &fd);
    if (pid < 0)
        return false;
    std::string text;
    std::string line;
    while (ReadLine(fd, &line))
        text += line + "\n";
    close(fd);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    if (output != nullptr)
        *output = text;
    return true;
}

} // namespace kestrow::test
