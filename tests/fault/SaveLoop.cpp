// fault-saveloop: keeps saving the whole profile store, generation after
// generation, so that the fault test can kill it at any moment of a save.
//
//   fault-saveloop REGISTRY seed     100 profiles of generation 0, saved once
//   fault-saveloop REGISTRY loop     load, then save generation g+1, g+2, ...
//                                    until killed
//
// Every field that a generation sets carries the generation number, so a
// store loaded after a kill shows at once whether it mixes two generations.
// Prints "saving G" before and "saved G" after each save (flushed).
#include <cstdio>
#include <string>
#include <string_view>

#include "KestrowApp.h"
#include "ProfileMngr.h"
#include "SaveGeneration.h"
#include "platform/Registry.h"

int main(int argc, char **argv)
{
    if (argc != 3 || (std::string_view(argv[2]) != "seed" && std::string_view(argv[2]) != "loop")) {
        std::fputs("usage: fault-saveloop REGISTRY seed|loop\n", stderr);
        return 2;
    }
    if (platform::Registry::set_current_user_path(argv[1]) != 0) {
        std::fprintf(stderr, "fault-saveloop: cannot open %s\n", argv[1]);
        return 1;
    }
    kestrow::CProfileMngr store;
    if (std::string_view(argv[2]) == "seed") {
        if (store.GetCount() != 0) {
            std::fputs("fault-saveloop: the registry already holds profiles\n", stderr);
            return 1;
        }
        for (int i = 0; i < fault::kProfileCount; ++i)
            (void)store.AddNew(nullptr);
        fault::SetGeneration(store, 0);
        if (!store.SaveAll()) {
            std::fputs("fault-saveloop: the first save failed\n", stderr);
            return 1;
        }
        std::printf("saved 0\n");
        return 0;
    }

    std::string problem;
    long generation = fault::CheckGeneration(store, &problem);
    if (generation < 0) {
        std::fprintf(stderr, "fault-saveloop: %s\n", problem.c_str());
        return 1;
    }
    // Killed from outside; the bound only keeps a forgotten loop finite.
    for (int round = 0; round < 1000000; ++round) {
        ++generation;
        fault::SetGeneration(store, generation);
        std::printf("saving %ld\n", generation);
        std::fflush(stdout);
        if (!store.SaveAll()) {
            std::fputs("fault-saveloop: a save failed\n", stderr);
            return 1;
        }
        std::printf("saved %ld\n", generation);
        std::fflush(stdout);
    }
    return 0;
}
