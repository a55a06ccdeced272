// Two processes of four threads each, with different runtime directories,
// send requests through the library to one simulator for a while
// (KESTROW_FAULT_LOCK_SECONDS, default 30); the simulator sees every request
// alone: the library lock holds across threads and processes that share the
// adapter directory.  A process killed while it holds the lock does not
// block the next one.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ChildProcess.h"
#include "FaultSim.h"
#include "TempDir.h"

namespace {

long LockSeconds()
{
    const char *text = std::getenv("KESTROW_FAULT_LOCK_SECONDS");
    if (text == nullptr || *text == '\0')
        return 30;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value > 0 && value <= 24 * 3600 ? value : 30;
}

} // namespace

TEST(CrossProcessLock, TwoProcessesOfFourThreadsNeverOverlap)
{
    fault::TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    const std::string adapters = dir.File("adapters");
    ASSERT_EQ(::mkdir(adapters.c_str(), 0700), 0);
    ASSERT_EQ(::setenv("LUNMARK_ADAPTER_DIR", adapters.c_str(), 1), 0);
    ASSERT_TRUE(fault::WriteFile(dir.File("test.scn"), fault::OpenNetworkScenario()));
    fault::FaultSim sim(FAULT_ADAPTER_SIM, adapters, dir.File("test.scn"));
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    std::uint64_t before = 0;
    ASSERT_TRUE(sim.Stat("requests", &before));

    const long seconds = LockSeconds();
    const std::string ms = std::to_string(seconds * 1000);
    fault::ChildProcess first;
    fault::ChildProcess second;
    // As a service and a desktop program would: one adapter directory, two
    // runtime directories.
    for (const char *run : {"run1", "run2"})
        ASSERT_EQ(::mkdir(dir.File(run).c_str(), 0700), 0);
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string ownRuntime = runtime ? runtime : "";
    ASSERT_EQ(::setenv("XDG_RUNTIME_DIR", dir.File("run1").c_str(), 1), 0);
    ASSERT_TRUE(first.Start({FAULT_LOCKHAMMER, ms, "4"}, &error)) << error;
    ASSERT_EQ(::setenv("XDG_RUNTIME_DIR", dir.File("run2").c_str(), 1), 0);
    ASSERT_TRUE(second.Start({FAULT_LOCKHAMMER, ms, "4"}, &error)) << error;
    if (ownRuntime.empty())
        ::unsetenv("XDG_RUNTIME_DIR");
    else
        ::setenv("XDG_RUNTIME_DIR", ownRuntime.c_str(), 1);
    ASSERT_TRUE(first.WaitForLine("connected", std::chrono::seconds(60)));
    ASSERT_TRUE(second.WaitForLine("connected", std::chrono::seconds(60)));

    std::uint64_t sent = 0;
    for (fault::ChildProcess *p : {&first, &second}) {
        std::string done;
        ASSERT_TRUE(p->WaitForLine("done", std::chrono::seconds(seconds + 120), &done));
        const int status = p->Wait(std::chrono::seconds(60));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << done;
        unsigned long long requests = 0;
        unsigned long long failed = 0;
        ASSERT_EQ(std::sscanf(done.c_str(), "done requests=%llu failed=%llu", &requests, &failed), 2) << done;
        EXPECT_EQ(failed, 0u);
        EXPECT_GT(requests, 0u);
        sent += requests;
    }

    std::uint64_t overlaps = 1;
    std::uint64_t maxInFlight = 0;
    std::uint64_t after = 0;
    ASSERT_TRUE(sim.Stat("overlaps", &overlaps));
    ASSERT_TRUE(sim.Stat("max_in_flight", &maxInFlight));
    ASSERT_TRUE(sim.Stat("requests", &after));
    EXPECT_EQ(overlaps, 0u);
    EXPECT_EQ(maxInFlight, 1u);
    // Every request of the two processes reached the simulator.
    EXPECT_GE(after - before, sent);
    std::printf("[ fault    ] %llu requests in %ld s from 2 processes x 4 threads, %llu overlaps\n",
                static_cast<unsigned long long>(sent), seconds, static_cast<unsigned long long>(overlaps));

    // A holder killed with the lock held: the next process gets it.
    fault::ChildProcess holder;
    ASSERT_TRUE(holder.Start({FAULT_LOCKHAMMER, "hold"}, &error)) << error;
    ASSERT_TRUE(holder.WaitForLine("holding", std::chrono::seconds(60)));
    holder.Kill(SIGKILL);
    std::string output;
    EXPECT_EQ(fault::RunToEnd({FAULT_LOCKHAMMER, "200", "2"}, std::chrono::seconds(120), &output), 0)
        << output;
}
