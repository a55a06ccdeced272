// The station list rebuilt from an adapter's scan result block.
// Input: one flag byte (bit 0: the adapter reports a connection, bit 1: the
// network view merges stations by name), the six bytes of the connected
// BSSID, the connected channel, then the scan block as the adapter answers
// it (cut or padded with zeros to the record's command data).
// fuzz-link: kestrow_core_fuzzlib
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "DeviceOps.h"
#include "KestrowApp.h"
#include "RequestRecord.h"
#include "Station.h"
#include "ProfileMngr.h"
#include "StationMngr.h"

#include "FuzzTempDir.h"

namespace {

using namespace kestrow;

struct Answers {
    bool connected = false;
    std::uint8_t bssid[6] = {};
    std::uint8_t channel = 0;
    const std::uint8_t *block = nullptr;
    std::size_t blockSize = 0;
} g_answers;

// The adapter: answers the connection state, the BSSID and channel of the
// connection and the scan results from the input; everything else is done.
int Exec(void *raw)
{
    auto *record = static_cast<request_record *>(raw);
    switch (record->command()) {
    case 0x590:
        record->set_u8(0, g_answers.connected ? 1 : 0);
        break;
    case 0x50:
        std::memcpy(record->data(), g_answers.bssid, sizeof g_answers.bssid);
        break;
    case 0x350:
        record->set_u8(8, g_answers.channel);
        break;
    case 0x190:
        std::memset(record->data(), 0, kRecordDataSize);
        std::memcpy(record->data(), g_answers.block, g_answers.blockSize);
        break;
    default:
        break;
    }
    record->set_status(kStatusDone);
    return 0;
}

const DeviceOps kOps{[](const char *) { return 0; }, [] { return 0; }, &Exec};

CStationMngr *Stations()
{
    static CStationMngr *stations = [] {
        const std::string dir = fuzz_support::scratch().path();
        ::setenv("KESTROW_REGISTRY", (dir + "/registry.sqlite3").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        InstallDeviceOps(&kOps);
        if (!theApp().CreateMainLock() || !theApp().CreateStatsLock())
            std::abort();
        // Kept for the whole run.
        static CProfileMngr store(CProfileMngr::Mode::ReadOnly);
        return new CStationMngr(theApp(), store, CStationMngr::Persist::Nothing);
    }();
    return stations;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 8)
        return 0;
    CStationMngr *stations = Stations();
    g_answers.connected = (data[0] & 1) != 0;
    std::memcpy(g_answers.bssid, data + 1, sizeof g_answers.bssid);
    g_answers.channel = data[7];
    g_answers.block = data + 8;
    g_answers.blockSize = std::min(size - 8, kRecordDataSize);

    stations->WasConnected = false;
    stations->ConnectedKey.clear();
    const bool more = stations->UpdateFromScan();
    if (more != (g_answers.blockSize > kScanMoreResults && g_answers.block[kScanMoreResults] == 1))
        __builtin_trap();
    if (stations->GetCount() > 2 * kScanMaxEntries)
        __builtin_trap();
    for (const auto &[key, station] : *stations) {
        if (station->NetName.size() > kEntryMaxSsid || key != station->Key())
            __builtin_trap();
    }
    if (!stations->ConnectedKey.empty() && stations->GetConnectedStation() == nullptr)
        __builtin_trap();
    if ((data[0] & 2) != 0) {
        const std::size_t before = stations->GetCount();
        stations->MergeByNetwork();
        if (stations->GetCount() > before || (before > 0 && stations->GetCount() == 0))
            __builtin_trap();
    }
    return 0;
}
