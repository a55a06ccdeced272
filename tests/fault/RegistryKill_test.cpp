// A process saving the whole profile store is killed with SIGKILL at varied
// moments, fifty times; after every kill a fresh store loads one complete
// generation of profiles: the last one saved, or the one being saved, never
// a mix and never an empty store.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "ProfileMngr.h"
#include "SaveGeneration.h"
#include "TempDir.h"
#include "platform/Registry.h"

namespace {

constexpr int kKills = 50;
constexpr std::chrono::seconds kLineTimeout{120};

// The generation number after `prefix` ("saving 12" -> 12), or -1.
long GenerationAfter(const std::string &line, const std::string &prefix)
{
    if (line.rfind(prefix, 0) != 0)
        return -1;
    try {
        return std::stol(line.substr(prefix.size()));
    } catch (...) {
        return -1;
    }
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

TEST(RegistryKill, EveryRestartLoadsOneWholeGeneration)
{
    fault::TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    const std::string registry = dir.File("registry.sqlite3");
    std::string output;
    ASSERT_EQ(fault::RunToEnd({FAULT_SAVELOOP, registry, "seed"}, kLineTimeout, &output), 0) << output;

    std::string problem;
    long stored = LoadGeneration(registry, &problem);
    ASSERT_EQ(stored, 0) << problem;

    int killedMidSave = 0;
    int loadedTheNewOne = 0;
    // How long one save takes, as last seen; a guess until then.
    std::chrono::microseconds saveTime{50000};
    for (int round = 0; round < kKills; ++round) {
        fault::ChildProcess saver;
        std::string error;
        ASSERT_TRUE(saver.Start({FAULT_SAVELOOP, registry, "loop"}, &error)) << error;

        // Kill during the first, second or third save of this run, at a
        // different point of it each round.
        const int saves = 1 + round % 3;
        long saving = -1;
        long saved = stored;
        std::string line;
        auto savingSince = std::chrono::steady_clock::now();
        for (int seen = 0; seen < saves;) {
            ASSERT_TRUE(saver.ReadLine(&line, kLineTimeout)) << "round " << round << ": the saver stopped";
            if (const long g = GenerationAfter(line, "saving "); g >= 0) {
                saving = g;
                savingSince = std::chrono::steady_clock::now();
                ++seen;
            } else if (const long s = GenerationAfter(line, "saved "); s >= 0) {
                saved = s;
                saveTime = std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::steady_clock::now() - savingSince);
            }
        }
        // The moment of the kill wanders over the whole save and a little
        // beyond, so that some kills fall before the commit, some after it.
        std::this_thread::sleep_for(saveTime * ((round * 37) % 100) / 80);
        saver.Kill(SIGKILL);

        // What the saver reported before it died tells which generations
        // may be in the registry now.
        const std::string rest = saver.ReadRest(std::chrono::seconds(10));
        std::size_t from = 0;
        bool midSave = true;
        while (from < rest.size()) {
            std::size_t nl = rest.find('\n', from);
            if (nl == std::string::npos)
                nl = rest.size();
            const std::string l = rest.substr(from, nl - from);
            if (const long g = GenerationAfter(l, "saving "); g >= 0) {
                saving = g;
                midSave = true;
            } else if (const long s = GenerationAfter(l, "saved "); s >= 0) {
                saved = s;
                midSave = false;
            }
            from = nl + 1;
        }
        if (midSave)
            ++killedMidSave;

        const long loaded = LoadGeneration(registry, &problem);
        ASSERT_GE(loaded, 0) << "round " << round << ": " << problem;
        // A finished save is durable; an unfinished one is all or nothing.
        EXPECT_TRUE(loaded == saved || (midSave && loaded == saving))
            << "round " << round << ": loaded generation " << loaded << ", last saved " << saved
            << ", being saved " << saving;
        if (loaded != saved)
            ++loadedTheNewOne;
        stored = loaded;
    }
    EXPECT_GT(killedMidSave, 0) << "no kill landed inside a save";
    std::printf("[ fault    ] %d of %d kills landed inside a save; %d restarts found the "
                "generation being saved; last generation %ld\n",
                killedMidSave, kKills, loadedTheNewOne, stored);
}
