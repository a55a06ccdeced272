// lunmark-tool trace against a real adapter-sim process: firmware lines are
// named by the shipped module file and worded by the shipped message file.
#include "AdapterSim.h"
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

ktest::RunResult tool(std::vector<std::string> args)
{
    args.insert(args.begin(), LUNMARK_TOOL);
    return ktest::Run(args, std::chrono::seconds(120));
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

    // A scan, then the connect batch for the open network "CoffeeCorner"
    // (its name in hexadecimal).
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"exec", "0x200"}, {"exec", "0x220", "01000000"},
          {"exec", "0x470", "02000000"}, {"exec", "0x80", "0c436f66666565436f726e6572"}}) {
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
