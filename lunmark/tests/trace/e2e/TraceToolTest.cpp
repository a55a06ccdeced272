// lunmark-tool trace against a real adapter-sim process: firmware lines are
// named by the shipped module file and worded by the shipped message file.
#include "ChildProcess.h"
#include "TestDriver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// adapter-sim running in the background until the object goes.
class Simulator {
public:
    explicit Simulator(const std::string& dir)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            ::execl(ADAPTER_SIM, ADAPTER_SIM, "--dir", dir.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        // The simulator announces itself once its sockets listen.
        std::string text;
        char buf[256];
        while (pid_ > 0 && text.find('\n') == std::string::npos) {
            const ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            text.append(buf, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        ready_ = text.find("ready") != std::string::npos;
    }
    ~Simulator()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

lunmark_test::ProcessResult tool(const std::vector<std::string>& args)
{
    return lunmark_test::ChildProcess::run(LUNMARK_TOOL, args);
}

std::string hex_of(const std::string& text)
{
    std::string out;
    char byte[3];
    for (unsigned char c : text) {
        std::snprintf(byte, sizeof byte, "%02x", c);
        out += byte;
    }
    return out;
}

} // namespace

TEST(TraceTool, NamedFirmwareLinesForAScanAndAConnect)
{
    lunmark_test::TempDir dir;
    ::setenv("LUNMARK_ADAPTER_DIR", (dir.path() + "/adapters").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    ::setenv("LUNMARK_DATA_DIR", LUNMARK_TEST_DATA_DIR, 1);
    Simulator sim(dir.path() + "/adapters");
    ASSERT_TRUE(sim.ready());

    // A scan, then the connect batch for the open network "CoffeeCorner".
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"exec", "0x200"}, {"exec", "0x220", "01000000"},
          {"exec", "0x470", "02000000"}, {"exec", "0x80", "0c" + hex_of("CoffeeCorner")}}) {
        const auto r = tool(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }

    const auto r = tool({"trace", "--seconds", "1", "--period", "20"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto has = [&](const std::string& line) { return r.out.find(line + "\n") != std::string::npos; };
    EXPECT_TRUE(has("[SCAN] \"Scan started on 24 channels\" - (00000018)(000000000)")) << r.out;
    EXPECT_TRUE(has("[MLME] \"Joining BSS on channel 1\" - (00000001)(000000000)")) << r.out;
    // The signal level varies with the simulated radio.
    EXPECT_NE(r.out.find("\n[MLME] \"Associated on channel 1, signal -"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("modem 1 block "), std::string::npos);
    EXPECT_NE(r.out.find("modem 2 block "), std::string::npos);
    EXPECT_NE(r.out.find("\ntrace: "), std::string::npos);
}

TEST(TraceTool, RejectsBadArguments)
{
    EXPECT_EQ(tool({"trace", "--seconds", "x"}).exit_code, 2);
    EXPECT_EQ(tool({"trace", "--period", "0"}).exit_code, 2);
    EXPECT_EQ(tool({"trace", "--bogus"}).exit_code, 2);
}

TEST(TraceTool, CommandsTheDriverRefusesFail)
{
    lunmark_test::TempDir dir;
    ::setenv("LUNMARK_ADAPTER_DIR", (dir.path() + "/adapters").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    Simulator sim(dir.path() + "/adapters");
    ASSERT_TRUE(sim.ready());
    EXPECT_EQ(tool({"peek7", "0x100"}).exit_code, 0);
    // Registers lie below 0x10000, word-aligned; the EEPROM image is small.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"peek7", "0x10001"}, {"poke9", "0x20000", "1"},
          {"eeprom-read", "0xFFFFF000", "16", dir.path() + "/out.bin"}}) {
        const auto r = tool(args);
        EXPECT_EQ(r.exit_code, 1) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("did not carry out the command (status 1)"), std::string::npos) << r.err;
    }
}
