// Helpers of the platform tests: private temporary folders and child
// processes talked to through pipes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace platform_test {

// A fresh folder below the test temporary directory, removed afterwards.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = ::testing::TempDir() + "platform-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A child process with its standard input and output connected to us.
class Child {
public:
    explicit Child(const std::vector<std::string> &argv)
    {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~Child()
    {
        close_input();
        if (from_ >= 0)
            ::close(from_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // The next line the child writes (without its newline); empty at EOF.
    std::string read_line()
    {
        std::string line;
        char c = 0;
        while (::read(from_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    // Everything the child writes until it closes its output.
    std::string read_all()
    {
        std::string all;
        char buf[4096];
        ssize_t n = 0;
        while ((n = ::read(from_, buf, sizeof buf)) > 0)
            all.append(buf, static_cast<std::size_t>(n));
        return all;
    }
    void send(const std::string &text)
    {
        ASSERT_EQ(::write(to_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void close_input()
    {
        if (to_ >= 0)
            ::close(to_);
        to_ = -1;
    }
    void kill_hard()
    {
        ::kill(pid_, SIGKILL);
    }
    // The exit status (as waitpid reports it), -1 when already reaped.
    int wait()
    {
        if (pid_ <= 0)
            return -1;
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int to_ = -1;
    int from_ = -1;
};

// Runs a program to its end; its output and exit status.
struct RunResult {
    std::string out;
    int status = -1;
};

inline RunResult run(const std::vector<std::string> &argv, const std::string &input = "")
{
    Child child(argv);
    if (!input.empty())
        child.send(input);
    child.close_input();
    RunResult r;
    r.out = child.read_all();
    r.status = child.wait();
    return r;
}

inline std::string find_program(const char *name)
{
    for (const char *dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
        const std::string p = std::string(dir) + "/" + name;
        if (::access(p.c_str(), X_OK) == 0)
            return p;
    }
    return {};
}

} // namespace platform_test
