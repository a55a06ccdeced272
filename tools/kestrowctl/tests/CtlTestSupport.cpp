#include "CtlTestSupport.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace ctltest {

namespace {

std::vector<char *> Argv(const std::string &path, const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(path.c_str()));
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

std::vector<char *> Pointers(std::vector<std::string> &strings)
{
    std::vector<char *> p;
    for (std::string &s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

void RemoveTree(const std::string &dir)
{
    const std::string cmd = "rm -rf '" + dir + "'";
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", dir.c_str());
}

} // namespace

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string &path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}

void Stop(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

CtlEnv::CtlEnv(bool withSim, const std::string &scenario)
{
    char tmpl[] = "/tmp/kestrowctl-test-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    ::mkdir(RuntimeDir().c_str(), 0700);
    ::mkdir(AdapterDir().c_str(), 0700);
    if (!withSim)
        return;
    std::vector<std::string> args = {"--exit-with-parent", "--dir", AdapterDir()};
    if (!scenario.empty()) {
        const std::string file = dir_ + "/scenario.scn";
        std::ofstream(file) << scenario;
        args.insert(args.end(), {"--scenario", file});
    }
    // The ready line comes once every socket is up.
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    auto env = Environment({});
    auto envp = Pointers(env);
    const std::string sim = ADAPTER_SIM_PATH;
    auto argv = Argv(sim, args);
    const int rc = posix_spawn(&simPid_, sim.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        simPid_ = -1;
        ::close(fds[0]);
        return;
    }
    std::string line;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1) {
        if (c == '\n')
            break;
        line += c;
    }
    // Kept open: the simulator must never write into a closed pipe.
    simOut_ = fds[0];
    simReady_ = line.find("ready") != std::string::npos;
}

CtlEnv::~CtlEnv()
{
    Stop(simPid_);
    if (simOut_ >= 0)
        ::close(simOut_);
    RemoveTree(dir_);
}

std::vector<std::string> CtlEnv::Environment(const std::vector<std::string> &extra) const
{
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("LUNMARK_ADAPTER_DIR=", 0) == 0 || entry.rfind("KESTROW_REGISTRY=", 0) == 0 ||
            entry.rfind("XDG_RUNTIME_DIR=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    env.push_back("LUNMARK_ADAPTER_DIR=" + AdapterDir());
    env.push_back("KESTROW_REGISTRY=" + Registry());
    env.push_back("XDG_RUNTIME_DIR=" + RuntimeDir());
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

pid_t CtlEnv::Spawn(const std::string &path, const std::vector<std::string> &args,
                    const std::vector<std::string> &extraEnv) const
{
    auto env = Environment(extraEnv);
    auto envp = Pointers(env);
    auto argv = Argv(path, args);
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

RunResult CtlEnv::Program(const std::string &path, const std::vector<std::string> &args,
                    const std::vector<std::string> &extraEnv) const
{
    RunResult run;
    const std::string outFile = dir_ + "/stdout.txt";
    const std::string errFile = dir_ + "/stderr.txt";
    auto env = Environment(extraEnv);
    auto envp = Pointers(env);
    auto argv = Argv(path, args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return run;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadFile(outFile);
    run.err = ReadFile(errFile);
    return run;
}

RunResult CtlEnv::Ctl(const std::vector<std::string> &args) const
{
    return Program(KESTROWCTL_PATH, args);
}

bool CtlEnv::SimCtl(const std::vector<std::string> &command) const
{
    std::vector<std::string> args = {"ctl", "--dir", AdapterDir(), "sim0"};
    args.insert(args.end(), command.begin(), command.end());
    return Program(ADAPTER_SIM_PATH, args).exitCode == 0;
}

} // namespace ctltest
