// The real adapter-sim program on a temporary adapter directory, talked to
// over its socket with the protocol header directly.
#include "SimTestUtil.h"

#include "AdapterSim.h"
#include "ScenarioBuilder.h"
#include "TempDir.h"

#include "ControlClient.h"

#include <gtest/gtest.h>

#include <fstream>
#include <chrono>
#include <random>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace adapter_sim;
using namespace sim_test;

namespace {

std::string ctl(const std::string &dir, const std::string &command) {
    std::string reply, error;
    if (!ControlClient::send(ControlClient::resolve("sim0", dir), command, reply, error))
        return "error: " + error;
    return reply;
}

bool exists(const std::string &p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

const std::string kScenario = ktest::ScenarioBuilder()
                                  .Adapter("sim0")
                                  .Set("description", "Test adapter")
                                  .Network("Open", "00:00:00:00:00:01", 1)
                                  .Text();

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ktest::WriteFile(scenario, kScenario)); }
    // The simulator run to its end on the test's directory.
    ktest::RunResult RunToEnd() const {
        return ktest::Run({ktest::AdapterSim::Program(), "--dir", adir, "--scenario", scenario},
                          std::chrono::seconds(60));
    }
    ktest::TempDir dir;
    ktest::AdapterSim sim{dir.Subdir("adapters")};
    std::string scenario = dir.File("test.scn");
    std::string adir = sim.AdapterDir();
};

} // namespace

TEST_F(ProcessTest, AnswersProbeSurvivesGarbageAndCountsIt) {
    ASSERT_TRUE(sim.Start(kScenario));
    EXPECT_TRUE(exists(adir + "/sim0"));
    std::ifstream desc(adir + "/sim0.desc");
    std::string line;
    std::getline(desc, line);
    EXPECT_EQ(line, "Test adapter");

    const int fd = connect_adapter(adir + "/sim0");
    ASSERT_GE(fd, 0);
    const Bytes probe = make_request(w::kOidPrivateCommand, make_frame(cmd::kVersion));
    Answer a = decode_answer(round_trip(fd, probe));
    EXPECT_EQ(a.ndis, 0u);
    EXPECT_EQ(a.status, 2u);

    std::mt19937 rng(7);
    std::vector<Bytes> bad = {Bytes{}, Bytes(3, 0x4C), Bytes(w::kMaxMessage + 5000, 0xAB)};
    Bytes wrong_magic = probe;
    wrong_magic[2] = 'X';
    bad.push_back(wrong_magic);
    bad.push_back(Bytes(probe.begin(), probe.begin() + 5000)); // truncated
    for (int i = 0; i < 20; ++i) {
        Bytes noise(rng() % 2000);
        for (auto &b : noise)
            b = static_cast<std::uint8_t>(rng());
        bad.push_back(noise);
    }
    for (const Bytes &m : bad) {
        const auto r = w::decode_reply(round_trip(fd, m));
        ASSERT_TRUE(r);
        EXPECT_NE(r->status, 0u);
        EXPECT_EQ(r->bytes_written, 0u);
    }
    a = decode_answer(round_trip(fd, probe));
    EXPECT_EQ(a.status, 2u);
    ::close(fd);

    const std::string stats = ctl(adir, "stats");
    EXPECT_EQ(stats.rfind("ok\n", 0), 0u) << stats;
    EXPECT_NE(stats.find("malformed " + std::to_string(bad.size())), std::string::npos) << stats;
    EXPECT_NE(stats.find("overlaps 0"), std::string::npos);
    EXPECT_NE(ctl(adir, "log").find("cmd 0x0010 VERSION read 2"), std::string::npos);
    EXPECT_EQ(ctl(adir, "bogus").rfind("error: unknown command", 0), 0u);

    EXPECT_EQ(ctl(adir, "quit"), "ok\n");
    for (int i = 0; i < 2000 && exists(adir + "/sim0"); ++i)
        ::usleep(10000);
    EXPECT_FALSE(exists(adir + "/sim0"));
    EXPECT_FALSE(exists(adir + "/sim0.desc"));
}

TEST_F(ProcessTest, RefusesALiveNameAndReplacesAStaleOne) {
    ASSERT_TRUE(sim.Start(kScenario));
    const ktest::RunResult second = RunToEnd();
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("is in use by a running simulator"), std::string::npos) << second.err;

    sim.KillHard(); // leaves its socket files behind
    ASSERT_TRUE(exists(adir + "/sim0"));
    ASSERT_TRUE(sim.Restart());
    const int fd = connect_adapter(adir + "/sim0");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(probe_status(fd), 2u);
    ::close(fd);
}

TEST_F(ProcessTest, BadScenarioExitsWithTwoAndNamesTheLine) {
    ASSERT_TRUE(ktest::WriteFile(scenario, "[adapter sim0]\n\nchannel = 7\n"));
    const ktest::RunResult run = RunToEnd();
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, scenario + ":3: unknown adapter key 'channel'\n");
}

TEST_F(ProcessTest, VanishClosesConnectionsAndAppearReopens) {
    ASSERT_TRUE(sim.Start(kScenario));
    const int fd = connect_adapter(adir + "/sim0");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ctl(adir, "vanish"), "ok\n");
    EXPECT_TRUE(round_trip(fd, make_request(w::kOidPrivateCommand, make_frame(cmd::kVersion))).empty());
    ::close(fd);
    EXPECT_FALSE(exists(adir + "/sim0"));
    EXPECT_LT(connect_adapter(adir + "/sim0"), 0);
    EXPECT_NE(ctl(adir, "stats").find("present no"), std::string::npos);

    EXPECT_EQ(ctl(adir, "appear"), "ok\n");
    const int again = connect_adapter(adir + "/sim0");
    ASSERT_GE(again, 0);
    EXPECT_EQ(probe_status(again), 2u);
    ::close(again);

    EXPECT_EQ(ctl(adir, "remove-network Open"), "ok\n1\n");
    EXPECT_EQ(ctl(adir, "remove-network \"Nope\"").rfind("error: no network", 0), 0u);
    EXPECT_EQ(ctl(adir, "latency 5"), "ok\n");
    EXPECT_NE(ctl(adir, "stats").find("latency 5"), std::string::npos);
}

TEST_F(ProcessTest, EndsWithItsParentWhenAsked) {
    // A parent process that starts the simulator and is then killed.
    const pid_t parent = ::fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        ktest::AdapterSim child(adir);
        if (child.Start(kScenario))
            ::pause();
        ::_exit(1);
    }
    for (int i = 0; i < 2000 && !exists(adir + "/sim0"); ++i)
        ::usleep(10000);
    ASSERT_TRUE(exists(adir + "/sim0"));
    ::kill(parent, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(parent, &status, 0), parent);
    // The simulator shuts down as on SIGTERM and takes its socket away.
    for (int i = 0; i < 2000 && exists(adir + "/sim0"); ++i)
        ::usleep(10000);
    EXPECT_FALSE(exists(adir + "/sim0"));
}
