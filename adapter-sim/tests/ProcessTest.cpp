// The real adapter-sim program on a temporary adapter directory, talked to
// over its socket with the protocol header directly and steered with
// "adapter-sim ctl".
#include "SimTestUtil.h"

#include "AdapterSim.h"
#include "ScenarioBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

using namespace adapter_sim;
using namespace sim_test;

namespace {

using std::filesystem::exists;

// Waits (at most 20 s) until `path` exists or is gone, as `wanted` says.
bool await(const std::string &path, bool wanted) {
    for (int i = 0; i < 2000 && exists(path) != wanted; ++i)
        ::usleep(10000);
    return exists(path) == wanted;
}

const std::string kScenario = ktest::ScenarioBuilder()
                                  .Adapter("sim0")
                                  .Set("description", "Test adapter")
                                  .Network("Open", "00:00:00:00:00:01", 1)
                                  .Text();

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ktest::WriteFile(scenario, kScenario)); }
    std::vector<std::string> Args() const {
        return {ktest::AdapterSim::Program(), "--exit-with-parent", "--dir", adir, "--scenario", scenario};
    }
    ktest::TempDir dir;
    ktest::AdapterSim sim{dir.Subdir("adapters")};
    std::string scenario = dir.File("test.scn");
    std::string adir = sim.AdapterDir();
    std::string socket = adir + "/sim0";
};

} // namespace

TEST_F(ProcessTest, AnswersProbeSurvivesGarbageAndCountsIt) {
    ASSERT_TRUE(sim.Start(kScenario));
    EXPECT_EQ(ktest::ReadFile(socket + ".desc").rfind("Test adapter", 0), 0u);

    Connection c(socket);
    ASSERT_TRUE(c.open());
    EXPECT_EQ(c.probe_status(), 2u);

    // (Arbitrary bytes are the fuzz harness's, spoilt headers the engine
    // test's; here the socket's own cases.)
    const std::vector<Bytes> bad = {Bytes{}, Bytes(3, 0x4C), Bytes(w::kMaxMessage + 5000, 0xAB),
                                    Bytes(kProbe.begin(), kProbe.begin() + 5000)}; // the last truncated
    for (const Bytes &m : bad) {
        const auto r = w::decode_reply(c.round_trip(m));
        ASSERT_TRUE(r);
        EXPECT_NE(r->status, 0u);
        EXPECT_EQ(r->bytes_written, 0u);
    }
    EXPECT_EQ(c.probe_status(), 2u);

    std::uint64_t malformed = 0;
    EXPECT_TRUE(sim.Stat("malformed", &malformed));
    EXPECT_EQ(malformed, bad.size());
    std::string log;
    EXPECT_TRUE(sim.Ctl("log", &log));
    EXPECT_NE(log.find("cmd 0x0010 VERSION read 2"), std::string::npos) << log;
    EXPECT_FALSE(sim.Ctl("bogus"));

    EXPECT_TRUE(sim.Ctl("quit"));
    EXPECT_TRUE(await(socket, false));
    EXPECT_FALSE(exists(socket + ".desc"));
}

TEST_F(ProcessTest, RefusesALiveNameAndReplacesAStaleOne) {
    ASSERT_TRUE(sim.Start(kScenario));
    const ktest::RunResult second = ktest::Run(Args(), std::chrono::seconds(60));
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("is in use by a running simulator"), std::string::npos) << second.err;

    sim.KillHard(); // leaves its socket files behind
    ASSERT_TRUE(exists(socket));
    ASSERT_TRUE(sim.Restart());
    EXPECT_EQ(Connection(socket).probe_status(), 2u);
}

TEST_F(ProcessTest, BadScenarioExitsWithTwoAndNamesTheLine) {
    ASSERT_TRUE(ktest::WriteFile(scenario, "[adapter sim0]\n\nchannel = 7\n"));
    const ktest::RunResult run = ktest::Run(Args(), std::chrono::seconds(60));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, scenario + ":3: unknown adapter key 'channel'\n");
}

TEST_F(ProcessTest, VanishClosesConnectionsAndAppearReopens) {
    ASSERT_TRUE(sim.Start(kScenario));
    Connection c(socket);
    ASSERT_TRUE(c.open());
    EXPECT_TRUE(sim.Ctl("vanish"));
    EXPECT_TRUE(c.round_trip(kProbe).empty());
    EXPECT_FALSE(exists(socket));
    EXPECT_FALSE(Connection(socket).open());
    std::string stats;
    EXPECT_TRUE(sim.Ctl("stats", &stats));
    EXPECT_NE(stats.find("present no"), std::string::npos) << stats;

    EXPECT_TRUE(sim.Ctl("appear"));
    EXPECT_EQ(Connection(socket).probe_status(), 2u);

    std::string removed;
    EXPECT_TRUE(sim.Ctl("remove-network Open", &removed));
    EXPECT_EQ(removed, "1\n");
    EXPECT_FALSE(sim.Ctl("remove-network Nope"));
}

TEST_F(ProcessTest, EndsWithItsParentWhenAsked) {
    // A parent process that starts the simulator on the test's scenario file
    // and is then killed, so it cleans up nothing: it must leave no
    // temporary files of its own.
    const std::string parentTmp = dir.Subdir("parent-tmp");
    const pid_t parent = ::fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        ::setenv("TMPDIR", parentTmp.c_str(), 1);
        ktest::ChildProcess child;
        std::string error;
        if (child.Start(Args(), &error) && child.WaitForLine("ready", std::chrono::seconds(20)))
            ::pause();
        ::_exit(1);
    }
    ASSERT_TRUE(await(socket, true));
    ::kill(parent, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(parent, &status, 0), parent);
    // The simulator shuts down as on SIGTERM and takes its socket away.
    EXPECT_TRUE(await(socket, false));
    EXPECT_TRUE(std::filesystem::is_empty(parentTmp));
}
