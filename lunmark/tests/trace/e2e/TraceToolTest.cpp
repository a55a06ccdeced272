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

TEST(TraceTool, NamedFirmwareLinesAndModemBlocks)
{
    ktest::TempDir dir;
    ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    ::setenv("LUNMARK_DATA_DIR", LUNMARK_TEST_DATA_DIR, 1);
    ktest::AdapterSim sim;
    sim.ExportEnvironment();
    ASSERT_TRUE(sim.Start());

    // A scan leaves its firmware line in the trace.
    ASSERT_EQ(tool({"exec", "0x200"}).exitCode, 0);
    const auto r = tool({"trace", "--seconds", "1", "--period", "20"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("[SCAN] \"Scan started on 24 channels\" - (00000018)(000000000)\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("modem 1 block "), std::string::npos);
    EXPECT_NE(r.out.find("modem 2 block "), std::string::npos);
    EXPECT_NE(r.out.find("\ntrace: "), std::string::npos);
}
