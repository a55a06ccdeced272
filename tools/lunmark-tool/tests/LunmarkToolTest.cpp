// lunmark-tool run as a program against the test driver.
#include "ChildProcess.h"
#include "TestDriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

using ktest::RunResult;
using ktest::TempDir;
using lunmark_test::TestDriver;
namespace wire = lunmark_wire;

namespace {

class LunmarkTool : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("LUNMARK_ADAPTER_DIR", dir.Path().c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
        ::unsetenv("LUNMARK_REQUEST_TIMEOUT_MS");
    }
    static RunResult tool(std::vector<std::string> args) {
        args.insert(args.begin(), LUNMARK_TOOL);
        return ktest::Run(args, std::chrono::seconds(120));
    }
    TempDir dir;
};

// Answers every request with a driver error, as an adapter that is not ours.
std::vector<std::uint8_t> refuse(const wire::Request &) {
    std::vector<std::uint8_t> out;
    wire::encode_reply(out, wire::kStatusNotSupported, {});
    return out;
}

} // namespace

TEST_F(LunmarkTool, ListsAndProbesTheAdapters) {
    TestDriver other(dir.Path(), "eth9"), ours(dir.Path(), "wlan0");
    other.set_handler(refuse);
    auto r = tool({"adapters"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "eth9\nwlan0\n");

    r = tool({"probe"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "eth9: no answer\nwlan0: answers the probe (status 2)\n");
    EXPECT_EQ(ours.last_command_code(), 16u);

    r = tool({"--adapter", "eth9", "probe"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("no adapter answers the probe"), std::string::npos) << r.err;
}

TEST_F(LunmarkTool, RegistersAndEepromRoundTrip) {
    TestDriver d(dir.Path(), "wlan0");
    auto r = tool({"--adapter", "wlan0", "poke9", "0x1C", "3054"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(d.register_value(9, 0x1C), 3054u);
    r = tool({"peek9", "28"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0x00000bee\n");

    const std::string in = dir.Path() + "/in.bin", out = dir.Path() + "/out.bin";
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes.push_back(static_cast<char>(i * 13));
    std::ofstream(in, std::ios::binary) << bytes;
    r = tool({"eeprom-write", "0x100", in});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = tool({"eeprom-read", "256", "300", out});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::ifstream f(out, std::ios::binary);
    const std::string back((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(back, bytes);
}

TEST_F(LunmarkTool, ReportsErrorsClearly) {
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        const char *message;
    };
    const std::vector<Case> cases = {
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
    };
    for (const Case &c : cases) {
        const auto r = tool(c.args);
        EXPECT_EQ(r.exitCode, c.exit_code) << c.args.size() << " " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}
