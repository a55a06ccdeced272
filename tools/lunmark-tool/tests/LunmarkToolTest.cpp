// lunmark-tool run as a program, against an empty adapter directory and a
// real adapter-sim process, with the build's data files (next to its
// programs, in ../share/lunmark).
#include "AdapterSim.h"
#include "ChildProcess.h"
#include "ScenarioBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

namespace {

class LunmarkTool : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("LUNMARK_ADAPTER_DIR", dir.Path().c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
        ::unsetenv("LUNMARK_REQUEST_TIMEOUT_MS");
        const auto data = std::filesystem::path(LUNMARK_TOOL).parent_path().parent_path() / "share/lunmark";
        ::setenv("LUNMARK_DATA_DIR", data.c_str(), 1);
    }
    static ktest::RunResult tool(std::vector<std::string> args) {
        args.insert(args.begin(), LUNMARK_TOOL);
        return ktest::Run(args, std::chrono::seconds(120));
    }
    ktest::TempDir dir;
};

} // namespace

TEST_F(LunmarkTool, ReportsErrorsClearly) {
    // Each command line, its exit code and what its error message holds.
    const std::vector<std::tuple<std::vector<std::string>, int, const char *>> cases = {
        {{"adapters"}, 1, "no adapters found"},
        {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
        {{}, 2, "no command given"},
        {{"exec", "zz"}, 2, "invalid command code"},
        {{"exec", "1", "abc"}, 2, "even number of hexadecimal digits"},
        {{"peek7", "0x1FFFFFFFF"}, 2, "invalid address"},
        {{"eeprom-read", "0", "10241", "x"}, 2, "LENGTH must be"},
        {{"eeprom-write", "0", "/nonexistent/file"}, 1, "cannot read"},
        {{"--adapter", "wlan7", "peek7", "1"}, 1, "cannot open adapter \"wlan7\""},
        {{"poke7", "1", "2"}, 1, "no adapter"},
        {{"trace", "--period", "0"}, 2, ""},
    };
    for (const auto &[args, exit_code, message] : cases) {
        const auto r = tool(args);
        EXPECT_EQ(r.exitCode, exit_code) << args.size() << " " << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
}

TEST_F(LunmarkTool, ProbesReadsWritesTracesAndFailsWhatTheDriverRefuses) {
    // The first adapter in name order does not answer the probe.
    ktest::AdapterSim sim;
    sim.ExportEnvironment();
    std::string error;
    ASSERT_TRUE(sim.Start(ktest::ScenarioBuilder().Seed(7).Adapter("aaa-foreign")
                              .Set("answers_probe", "no").Adapter("sim1").Text(), &error)) << error;
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes.push_back(static_cast<char>(i * 13));
    // Each command and what it prints (nullptr: not looked at).
    const std::pair<std::vector<std::string>, const char *> good[] = {
        {{"adapters"}, "aaa-foreign\nsim1\n"},
        {{"probe"}, "aaa-foreign: no answer\nsim1: answers the probe (status 2)\n"},
        {{"--adapter", "sim1", "poke9", "0x1C", "3054"}, nullptr},
        {{"peek9", "28"}, "0x00000bee\n"},
        {{"eeprom-write", "0x100", dir.Write("in.bin", bytes)}, nullptr},
        {{"eeprom-read", "256", "300", dir.File("out.bin")}, nullptr},
    };
    for (const auto &[args, out] : good) {
        const auto r = tool(args);
        EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
        if (out != nullptr) {
            EXPECT_EQ(r.out, out);
        }
    }
    EXPECT_EQ(ktest::ReadFile(dir.File("out.bin")), bytes);
    auto r = tool({"--adapter", "aaa-foreign", "probe"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("no adapter answers the probe"), std::string::npos) << r.err;

    // A command the driver answers with a failure status fails the tool
    // (registers lie below 0x10000).
    r = tool({"poke9", "0x20000", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("did not carry out the command (status 1)"), std::string::npos) << r.err;

    // A scan leaves its firmware line in the trace, named by the shipped
    // module file and worded by the shipped message file.
    ASSERT_EQ(tool({"exec", "0x200"}).exitCode, 0);
    r = tool({"trace", "--seconds", "1", "--period", "20"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("[SCAN] \"Scan started on 24 channels\" - (00000018)(000000000)\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("modem 1 block "), std::string::npos);
    EXPECT_NE(r.out.find("modem 2 block "), std::string::npos);
    EXPECT_NE(r.out.find("\ntrace: "), std::string::npos);
}
