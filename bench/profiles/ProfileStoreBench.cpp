// SaveAll and Load of a store of 100 profiles on the SQLite registry, in a
// registry file of its own in a temporary folder.  Goal: each under 20 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <platform/Registry.h>

#include "KestrowApp.h"
#include "ProfileMngr.h"

namespace {

constexpr int kProfiles = 100;

// A registry file with 100 saved profiles, removed at exit.
class BenchRegistry {
public:
    BenchRegistry()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrow-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        dir_ = pattern;
        setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
        if (platform::Registry::set_current_user_path(dir_ + "/registry.sqlite3") != 0)
            std::abort();
        kestrow::CProfileMngr store;
        for (int i = 0; i < kProfiles; ++i) {
            const std::string name = store.AddNew(nullptr);
            kestrow::CProfile *p = store.Get(name);
            p->NetName = "network " + std::to_string(i);
            p->SecType = 1;
            p->ActiveSecKey = 0;
            p->SecKey[0] = "0123456789";
            p->AutoSelect = i < 10;
            p->Priority = p->AutoSelect ? store.UpdatePriorities(-1) : -1;
        }
        if (!store.SaveAll())
            std::abort();
    }
    ~BenchRegistry()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

private:
    std::string dir_;
};

BenchRegistry &Registry()
{
    static BenchRegistry registry;
    return registry;
}

void BM_SaveAll100(benchmark::State &state)
{
    Registry();
    kestrow::CProfileMngr store;
    if (store.GetCount() != kProfiles)
        state.SkipWithError("the store did not load 100 profiles");
    for (auto _ : state) {
        if (!store.SaveAll())
            state.SkipWithError("SaveAll failed");
    }
}
BENCHMARK(BM_SaveAll100)->Unit(benchmark::kMillisecond);

// Every profile changed since the last save (one field each).
void BM_SaveAll100Changed(benchmark::State &state)
{
    Registry();
    kestrow::CProfileMngr store;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++round;
        for (const auto &[name, profile] : store.Profiles())
            profile->MaxFragment = 256 + round % 2;
        state.ResumeTiming();
        if (!store.SaveAll())
            state.SkipWithError("SaveAll failed");
    }
}
BENCHMARK(BM_SaveAll100Changed)->Unit(benchmark::kMillisecond);

void BM_Load100(benchmark::State &state)
{
    Registry();
    for (auto _ : state) {
        // Construction is the load; the destructor's save is kept out of the
        // measured time.
        auto *store = new kestrow::CProfileMngr();
        benchmark::DoNotOptimize(store);
        state.PauseTiming();
        if (store->GetCount() != kProfiles)
            state.SkipWithError("the store did not load 100 profiles");
        delete store;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Load100)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
