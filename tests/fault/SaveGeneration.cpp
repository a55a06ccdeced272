#include "SaveGeneration.h"

#include <cstdio>

#include "ProfileMngr.h"

namespace fault {

namespace {

std::string NetNameOf(long generation, const std::string &profile)
{
    return "gen" + std::to_string(generation) + " " + profile;
}

// Ten hex digits of the generation: a 40-bit WEP key.
std::string KeyOf(long generation)
{
    char text[16];
    std::snprintf(text, sizeof text, "%010lx", static_cast<unsigned long>(generation) & 0xFFFFFFFFFFUL);
    return text;
}

std::int32_t ChannelOf(long generation) { return static_cast<std::int32_t>(generation % 11); }
std::int32_t PowerOf(long generation) { return static_cast<std::int32_t>(generation % 100000); }

} // namespace

void SetGeneration(kestrow::CProfileMngr &store, long generation)
{
    for (auto &[name, record] : store.Profiles()) {
        record->NetName = NetNameOf(generation, name);
        record->PhyChnl = ChannelOf(generation);
        record->MaxTxPower = PowerOf(generation);
        record->SecKey[0] = KeyOf(generation);
        record->SecKeyLen[0] = 5;
        record->ShortPreamble = generation % 2 != 0;
    }
}

long CheckGeneration(const kestrow::CProfileMngr &store, std::string *problem)
{
    if (store.GetCount() != static_cast<std::size_t>(kProfileCount)) {
        *problem = "the store holds " + std::to_string(store.GetCount()) + " profiles, not " +
                   std::to_string(kProfileCount);
        return -1;
    }
    long generation = -1;
    for (const auto &[name, record] : store.Profiles()) {
        // "genG NAME"
        const std::string &net = record->NetName;
        long g = -1;
        if (std::sscanf(net.c_str(), "gen%ld", &g) != 1 || g < 0 || net != NetNameOf(g, name)) {
            *problem = name + ": network name \"" + net + "\" carries no generation";
            return -1;
        }
        if (generation < 0)
            generation = g;
        const bool whole = g == generation && record->PhyChnl == ChannelOf(g) &&
                           record->MaxTxPower == PowerOf(g) && record->SecKey[0] == KeyOf(g) &&
                           record->SecKeyLen[0] == 5 && record->ShortPreamble == (g % 2 != 0);
        if (!whole) {
            *problem = name + " does not hold generation " + std::to_string(generation) +
                       " throughout (its name says " + std::to_string(g) + ")";
            return -1;
        }
    }
    return generation;
}

} // namespace fault
