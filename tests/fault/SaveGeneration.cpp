#include "SaveGeneration.h"

#include <cstdio>

#include "ProfileMngr.h"

namespace fault {

namespace {

// The fields of the record `name` in `generation`; the WEP key is ten hex
// digits of it (40 bits).
void Fill(kestrow::CProfile &record, const std::string &name, long generation)
{
    char key[16];
    std::snprintf(key, sizeof key, "%010lx", static_cast<unsigned long>(generation) & 0xFFFFFFFFFFUL);
    record.NetName = "gen" + std::to_string(generation) + " " + name;
    record.PhyChnl = static_cast<std::int32_t>(generation % 11);
    record.MaxTxPower = static_cast<std::int32_t>(generation % 100000);
    record.SecKey[0] = key;
    record.SecKeyLen[0] = 5;
    record.ShortPreamble = generation % 2 != 0;
}

} // namespace

void SetGeneration(kestrow::CProfileMngr &store, long generation)
{
    for (auto &[name, record] : store.Profiles())
        Fill(*record, name, generation);
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
        // The first record's network name "genG NAME" gives the generation.
        if (generation < 0 && std::sscanf(record->NetName.c_str(), "gen%ld", &generation) != 1)
            generation = -1;
        kestrow::CProfile want(*record);
        Fill(want, name, generation);
        if (generation < 0 || want.NetName != record->NetName || want.PhyChnl != record->PhyChnl ||
            want.MaxTxPower != record->MaxTxPower || want.SecKey[0] != record->SecKey[0] ||
            want.SecKeyLen[0] != record->SecKeyLen[0] || want.ShortPreamble != record->ShortPreamble) {
            *problem = name + " (network name \"" + record->NetName + "\") does not hold generation " +
                       std::to_string(generation) + " throughout";
            return -1;
        }
    }
    return generation;
}

} // namespace fault
