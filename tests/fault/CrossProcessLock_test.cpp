// Two processes of four threads each, with different runtime directories,
// send requests through the library to one simulator for a while
// (KESTROW_FAULT_LOCK_SECONDS, default 30); the simulator sees every request
// alone: the library lock holds across threads and processes that share the
// adapter directory.  A process killed while it holds the lock does not
// block the next one, and one that meets the lock file just as another
// process creates it uses it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "AdapterSim.h"
#include "ChildProcess.h"
#include "ScenarioBuilder.h"
#include "TempDir.h"

TEST(CrossProcessLock, TwoProcessesOfFourThreadsNeverOverlap)
{
    ktest::AdapterSim sim;
    std::string error;
    ASSERT_TRUE(sim.Start(ktest::ScenarioBuilder::OneOpenNetwork(), &error)) << error;

    const char *wanted = std::getenv("KESTROW_FAULT_LOCK_SECONDS");
    const long seconds = wanted != nullptr && std::atol(wanted) > 0 ? std::atol(wanted) : 30;
    const std::string ms = std::to_string(seconds * 1000);
    // As a service and a desktop program would: one adapter directory, two
    // runtime directories.
    ktest::TempDir dir;
    ktest::ChildProcess first;
    ktest::ChildProcess second;
    for (ktest::ChildProcess *p : {&first, &second}) {
        const std::string run = dir.Subdir(p == &first ? "run1" : "run2");
        ASSERT_TRUE(p->Start({FAULT_LOCKHAMMER, ms, "4"}, &error, {sim.EnvEntry(), "XDG_RUNTIME_DIR=" + run}))
            << error;
    }
    for (ktest::ChildProcess *p : {&first, &second})
        ASSERT_TRUE(p->WaitForLine("connected", std::chrono::seconds(60)));

    std::uint64_t sent = 0;
    for (ktest::ChildProcess *p : {&first, &second}) {
        std::string done;
        ASSERT_TRUE(p->WaitForLine("done", std::chrono::seconds(seconds + 120), &done));
        // Exit code 0: no request failed and every thread sent some.
        const int status = p->Wait(std::chrono::seconds(60));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << done;
        unsigned long long requests = 0;
        ASSERT_EQ(std::sscanf(done.c_str(), "done requests=%llu", &requests), 1) << done;
        sent += requests;
    }

    std::uint64_t overlaps = 1;
    std::uint64_t received = 0;
    ASSERT_TRUE(sim.Stat("overlaps", &overlaps));
    ASSERT_TRUE(sim.Stat("requests", &received));
    EXPECT_EQ(overlaps, 0u);
    // Every request of the two processes reached the simulator.
    EXPECT_GE(received, sent);
    std::printf("[ fault    ] %llu requests in %ld s from 2 processes x 4 threads, %llu overlaps\n",
                static_cast<unsigned long long>(sent), seconds, static_cast<unsigned long long>(overlaps));

    // A holder killed with the lock held: the next process gets it.
    ktest::ChildProcess holder;
    ASSERT_TRUE(holder.Start({FAULT_LOCKHAMMER, "hold"}, &error, {sim.EnvEntry()})) << error;
    ASSERT_TRUE(holder.WaitForLine("holding", std::chrono::seconds(60)));
    holder.Kill(SIGKILL);
    const ktest::RunResult run =
        ktest::Run({FAULT_LOCKHAMMER, "200", "2"}, std::chrono::seconds(120), {sim.EnvEntry()});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
}

// A process meets the lock file while another one creates it (the creator
// pauses in any link() it makes): it uses the file, never finds one still
// being set up (it would refuse the lock and say so).
TEST(CrossProcessLock, ALockFileJustPutInPlaceIsWhole)
{
    ktest::TempDir dir;
    const std::string adapters = dir.File("adapters");
    ktest::ChildProcess creator;
    std::string error;
    ASSERT_TRUE(creator.Start({FAULT_LOCKHAMMER, "open"}, &error,
                              {"LUNMARK_ADAPTER_DIR=" + adapters, "FAULT_PAUSE_AFTER_PLACING=3000"}, true))
        << error;
    const std::string file = adapters + "/OIFC_MAIN.lock";
    for (int i = 0; i < 2000 && !std::filesystem::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(file));

    const ktest::RunResult other =
        ktest::Run({FAULT_LOCKHAMMER, "open"}, std::chrono::seconds(60), {"LUNMARK_ADAPTER_DIR=" + adapters});
    EXPECT_EQ(other.out, "opened\n");
    EXPECT_EQ(other.err, "");
    EXPECT_EQ(creator.ReadRest(std::chrono::seconds(60)), "opened\n");
    EXPECT_EQ(creator.Wait(std::chrono::seconds(60)), 0);
    EXPECT_EQ(creator.Stderr(), "");
}
