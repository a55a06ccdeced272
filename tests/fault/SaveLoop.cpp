// fault-saveloop: saves the whole profile store for the save-kill test.
//
//   fault-saveloop REGISTRY seed     100 profiles of generation 0, saved once
//   fault-saveloop REGISTRY count    saves the next generation and prints
//                                    "writes W": the file writes of one save
//   fault-saveloop REGISTRY kill N   saves the next generation and kills
//                                    itself (SIGKILL) at its N-th file write
//
// Every field that a generation sets carries the generation number, so a
// store loaded after a kill shows at once whether it mixes two generations.
// Prints "saving G" before and "saved G" after the save (flushed).
//
// The kill point is exact: the registry's SQLite connection writes through a
// VFS of this program's own (the default one, with its writes counted), so a
// kill lands before, inside or after the commit as N says, never by timing.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>
#include <string_view>

#include <sqlite3.h>

#include "ProfileMngr.h"
#include "SaveGeneration.h"
#include "platform/Registry.h"

namespace {

sqlite3_vfs *g_base = nullptr;
sqlite3_vfs g_counting;
long g_writes = 0;
long g_killAt = -1;  // 0: never
bool g_armed = false;

// A copy of a real file's methods with xWrite counted; `mine` first, so the
// file's method pointer leads back to the real methods.
struct Methods {
    sqlite3_io_methods mine;
    const sqlite3_io_methods *real;
};
std::list<Methods> g_methods;

int CountedWrite(sqlite3_file *file, const void *data, int amount, sqlite3_int64 offset)
{
    const auto *methods = reinterpret_cast<const Methods *>(file->pMethods);
    if (g_armed && ++g_writes == g_killAt)
        std::raise(SIGKILL);
    return methods->real->xWrite(file, data, amount, offset);
}

int CountedOpen(sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    const int rc = g_base->xOpen(g_base, name, file, flags, outFlags);
    if (rc != SQLITE_OK || file->pMethods == nullptr)
        return rc;
    Methods *methods = nullptr;
    for (Methods &m : g_methods)
        methods = m.real == file->pMethods ? &m : methods;
    if (methods == nullptr) {
        methods = &g_methods.emplace_back(Methods{*file->pMethods, file->pMethods});
        methods->mine.xWrite = CountedWrite;
    }
    file->pMethods = &methods->mine;
    return rc;
}

void InstallCountingVfs()
{
    g_base = sqlite3_vfs_find(nullptr);
    g_counting = *g_base;
    g_counting.zName = "fault-counting";
    g_counting.xOpen = CountedOpen;
    sqlite3_vfs_register(&g_counting, 1);
}

} // namespace

int main(int argc, char **argv)
{
    const std::string_view mode = argc >= 3 ? argv[2] : "";
    if (!((argc == 3 && (mode == "seed" || mode == "count")) || (argc == 4 && mode == "kill"))) {
        std::fputs("usage: fault-saveloop REGISTRY seed|count|kill N\n", stderr);
        return 2;
    }
    InstallCountingVfs();
    if (platform::Registry::set_current_user_path(argv[1]) != 0) {
        std::fprintf(stderr, "fault-saveloop: cannot open %s\n", argv[1]);
        return 1;
    }
    kestrow::CProfileMngr store;
    long generation = 0;
    if (mode == "seed") {
        // (Into a fresh registry: profiles already there would show as a
        // wrong count at the next load.)
        for (int i = 0; i < fault::kProfileCount; ++i)
            (void)store.AddNew(nullptr);
    } else {
        std::string problem;
        generation = fault::CheckGeneration(store, &problem);
        if (generation < 0) {
            std::fprintf(stderr, "fault-saveloop: %s\n", problem.c_str());
            return 1;
        }
        ++generation;
        g_killAt = mode == "kill" ? std::atol(argv[3]) : 0;
    }
    fault::SetGeneration(store, generation);
    std::printf("saving %ld\n", generation);
    std::fflush(stdout);
    g_armed = true;
    if (!store.SaveAll()) {
        std::fputs("fault-saveloop: the save failed\n", stderr);
        return 1;
    }
    g_armed = false;
    std::printf("saved %ld\n", generation);
    if (mode == "count")
        std::printf("writes %ld\n", g_writes);
    return 0;
}
