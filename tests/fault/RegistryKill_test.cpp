// A process saving the whole profile store is killed with SIGKILL at file
// writes spread over a whole save (and a little past it); after every kill
// a fresh store loads one complete generation of profiles: the last one
// saved, or the one being saved, never a mix and never an empty store.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ChildProcess.h"
#include "ProfileMngr.h"
#include "SaveGeneration.h"
#include "TempDir.h"
#include "platform/Registry.h"

namespace {

constexpr int kKills = 30;
constexpr ktest::milliseconds kRunTimeout{120000};

// The number after the last line starting with `prefix`, or `otherwise`.
long LastNumber(const std::string &output, const std::string &prefix, long otherwise)
{
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) == 0)
            otherwise = std::stol(line.substr(prefix.size()));
    }
    return otherwise;
}

long LoadGeneration(const std::string &registry, std::string *problem)
{
    if (platform::Registry::set_current_user_path(registry) != 0) {
        *problem = "the registry cannot be opened";
        return -1;
    }
    const kestrow::CProfileMngr store;
    return fault::CheckGeneration(store, problem);
}

} // namespace

TEST(RegistryKill, AKillAtAnyWriteOfASaveLeavesOneWholeGeneration)
{
    ktest::TempDir dir;
    const std::string registry = dir.File("registry.sqlite3");
    ktest::RunResult run = ktest::Run({FAULT_SAVELOOP, registry, "seed"}, kRunTimeout);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = ktest::Run({FAULT_SAVELOOP, registry, "count"}, kRunTimeout);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const long writes = LastNumber(run.out, "writes ", 0);
    ASSERT_GT(writes, 1);
    std::string problem;
    long stored = LoadGeneration(registry, &problem);
    ASSERT_EQ(stored, 1) << problem;

    int keptTheOld = 0;
    int foundTheNew = 0;
    for (int k = 0; k < kKills; ++k) {
        const long killAt = 1 + k * (writes + writes / 4) / kKills;
        run = ktest::Run({FAULT_SAVELOOP, registry, "kill", std::to_string(killAt)}, kRunTimeout);
        const long saving = LastNumber(run.out, "saving ", -1);
        const long saved = LastNumber(run.out, "saved ", stored);
        ASSERT_EQ(saving, stored + 1) << "write " << killAt << ": " << run.err;
        const bool midSave = saved != saving;
        EXPECT_EQ(midSave, killAt <= writes) << "write " << killAt;

        const long loaded = LoadGeneration(registry, &problem);
        ASSERT_GE(loaded, 0) << "write " << killAt << ": " << problem;
        // A finished save is durable; an unfinished one is all or nothing.
        EXPECT_TRUE(loaded == saved || (midSave && loaded == saving))
            << "write " << killAt << ": loaded generation " << loaded << ", last saved " << saved
            << ", being saved " << saving;
        if (midSave)
            ++(loaded == saving ? foundTheNew : keptTheOld);
        stored = loaded;
    }
    // Some kills fell before the commit, and the store survived them.
    EXPECT_GT(keptTheOld, 0);
    std::printf("[ fault    ] %d kills kept the old generation, %d found the new one\n", keptTheOld,
                foundTheNew);
}
