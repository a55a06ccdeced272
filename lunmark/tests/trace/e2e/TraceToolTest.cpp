// lunmark-tool trace against a real adapter-sim process: firmware lines are
// named by the shipped module file and worded by the shipped message file.
#include "AdapterSim.h"
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

ktest::RunResult tool(std::vector<std::string> args)
{
    args.insert(args.begin(), LUNMARK_TOOL);
    return ktest::Run(args, std::chrono::seconds(120));
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
    ktest::TempDir dir;
    ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    ::setenv("LUNMARK_DATA_DIR", LUNMARK_TEST_DATA_DIR, 1);
    ktest::AdapterSim sim;
    sim.ExportEnvironment();
    ASSERT_TRUE(sim.Start());

    // A scan, then the connect batch for the open network "CoffeeCorner".
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"exec", "0x200"}, {"exec", "0x220", "01000000"},
          {"exec", "0x470", "02000000"}, {"exec", "0x80", "0c" + hex_of("CoffeeCorner")}}) {
        const auto r = tool(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    const auto r = tool({"trace", "--seconds", "1", "--period", "20"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
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
    EXPECT_EQ(tool({"trace", "--seconds", "x"}).exitCode, 2);
    EXPECT_EQ(tool({"trace", "--period", "0"}).exitCode, 2);
    EXPECT_EQ(tool({"trace", "--bogus"}).exitCode, 2);
}

TEST(TraceTool, CommandsTheDriverRefusesFail)
{
    ktest::TempDir dir;
    ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    ktest::AdapterSim sim;
    sim.ExportEnvironment();
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(tool({"peek7", "0x100"}).exitCode, 0);
    // Registers lie below 0x10000, word-aligned; the EEPROM image is small.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"peek7", "0x10001"}, {"poke9", "0x20000", "1"},
          {"eeprom-read", "0xFFFFF000", "16", dir.File("out.bin")}}) {
        const auto r = tool(args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("did not carry out the command (status 1)"), std::string::npos) << r.err;
    }
}
