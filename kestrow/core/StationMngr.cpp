#include "StationMngr.h"

#include <cstring>
#include <span>
#include <thread>

#include "CommVarList.h"
#include "Conversions.h"
#include "DebugLog.h"
#include "KestrowApp.h"
#include "Poll.h"
#include "ProfileMngr.h"
#include "VarCodes.h"

namespace kestrow {

namespace {

constexpr std::int32_t kScanRefreshTicks = 3;
constexpr int kWeakestSignal = -127;

} // namespace

CStationMngr::CStationMngr(CKestrowApp &app, CProfileMngr &store, Persist persist)
    : m_App(app), m_Store(store), m_Persist(persist)
{
    if (CPoll *poll = m_App.Poll())
        poll->SetInterval(kScanRefreshTicks);
    (void)StartScan();
}

CStationMngr::~CStationMngr()
{
    if (m_Persist == Persist::ConnectedKey &&
        !m_App.WriteProfileString("", kConnectedStationName, ConnectedKey))
        DebugWrite("\nConnectedStation could not be written");
    RemoveAll();
}

int CStationMngr::StartScan()
{
    CCommVarList batch;
    if (batch.Add(VAR_SCAN_START, nullptr, nullptr) == nullptr)
        return 0;
    if (!batch.Exec(false, false))
        return 0;
    if (CPoll *poll = m_App.Poll())
        poll->BeginScan();
    else
        m_App.SetScanActive(true);
    return 2;
}

bool CStationMngr::IsConnected()
{
    CCommVarList batch;
    CCommVar *var = batch.Add(VAR_CONNECTED, nullptr, nullptr);
    if (var == nullptr || !batch.Exec(false, false))
        return false;
    return var->m_Records[0].u8(0) != 0;
}

bool CStationMngr::UpdateUntil(std::chrono::steady_clock::time_point deadline,
                               const std::function<bool(const CStationMngr &)> &done)
{
    for (;;) {
        const bool more = UpdateFromScan();
        if ((done && done(*this)) || !more)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

bool CStationMngr::UpdateFromScan()
{
    CKestrowApp &app = m_App;
    RemoveAll();

    // Connection tracking: a loss is handled once, on the first update that
    // finds the adapter disconnected.  An ad hoc network this program started
    // counts as a connection even while the adapter reports none.
    if (IsConnected() || app.AdHocConnected()) {
        WasConnected = true;
    } else if (WasConnected) {
        if (app.Poll() != nullptr)
            app.Poll()->ResetStats();
        SetConnected(nullptr);
        m_Store.SetCurrent(nullptr, true);
        WasConnected = false;
    }

    // BSSID and channel of the current connection.
    std::uint8_t bssid[6] = {};
    int channel = -1;
    {
        // The channel conversion puts the query's selector into the record;
        // the channel itself is taken from the raw answer.
        std::string channelText;
        CCommVarList batch;
        CCommVar *bssidVar = batch.Add(VAR_BSSID, nullptr, nullptr);
        CCommVar *channelVar = batch.Add(VAR_CHANNEL, ConvChannel, &channelText);
        if (bssidVar != nullptr && channelVar != nullptr) {
            if (batch.Exec(false, false)) {
                std::memcpy(bssid, bssidVar->m_Records[0].data(), sizeof bssid);
                channel = channelVar->m_Records[0].u8(8);
            }
        }
    }

    CCommVarList scan;
    CCommVar *scanVar = scan.Add(VAR_SCAN_RESULTS, nullptr, nullptr);
    if (scanVar == nullptr || !scan.Exec(false, false))
        return false;
    const request_record &record = scanVar->m_Records[0];
    const std::span<const std::uint8_t> block(record.data(), kRecordDataSize);
    static_assert(kScanBlockSize <= kRecordDataSize, "the scan block fits the command data");

    struct List {
        std::size_t countAt;
        std::size_t entriesAt;
        bool adhoc;
    };
    const List lists[] = {{kScanInfraCount, kScanInfraList, false},
                          {kScanAdHocCount, kScanAdHocList, true}};
    int index = 0;
    for (const List &list : lists) {
        std::size_t count = block[list.countAt];
        if (count > kScanMaxEntries)
            count = kScanMaxEntries;
        for (std::size_t e = 0; e < count; ++e, ++index) {
            const auto entry = block.subspan(list.entriesAt + e * kScanEntrySize, kScanEntrySize);
            // Only the first entry of a network name on a channel is kept.
            std::size_t ssidLength = entry[kEntrySsidLen];
            if (ssidLength > kEntryMaxSsid)
                ssidLength = kEntryMaxSsid;
            const auto *ssid = reinterpret_cast<const char *>(entry.data() + kEntrySsid);
            const std::string key =
                MakeStationKey(std::string(ssid, strnlen(ssid, ssidLength)), entry[kEntryChannel]);
            if (Lookup(key) != nullptr)
                continue;
            auto station = std::make_unique<CStation>(entry, list.adhoc);
            station->ProfName = "Station " + std::to_string(index);
            if (std::memcmp(entry.data() + kEntryBssid, bssid, sizeof bssid) == 0 &&
                static_cast<int>(entry[kEntryChannel]) == channel)
                SetConnected(station.get());
            AddStation(std::move(station));
        }
    }

    if (m_NetworkView.value_or(app.GetProfileInt("", kViewPreference, 0) != 0))
        MergeByNetwork();
    return block[kScanMoreResults] == 1;
}

CStation *CStationMngr::Lookup(const std::string &key) const
{
    const auto it = m_Stations.find(key);
    return it == m_Stations.end() ? nullptr : it->second.get();
}

void CStationMngr::SetConnected(const CStation *station)
{
    ConnectedKey = station != nullptr ? station->Key() : std::string();
}

void CStationMngr::AddStation(std::unique_ptr<CStation> station)
{
    if (!station)
        return;
    std::string key = station->Key();
    m_Stations[std::move(key)] = std::move(station);
}

void CStationMngr::RemoveStation(const std::string &key)
{
    m_Stations.erase(key);
}

void CStationMngr::RemoveAll()
{
    m_Stations.clear();
}

void CStationMngr::MergeByNetwork()
{
    // The strongest station per network name; on equal signals the one met
    // first wins, and a station must be above -127 dBm to be picked.
    std::map<std::string, const CStation *> best;
    for (const auto &[keyA, a] : m_Stations) {
        if (best.count(a->NetName) != 0)
            continue;
        const CStation *pick = a.get();
        int strongest = kWeakestSignal;
        for (const auto &[keyB, b] : m_Stations) {
            if (b->NetName == a->NetName && b->LinkQuality > strongest) {
                strongest = b->LinkQuality;
                pick = b.get();
            }
        }
        best[a->NetName] = pick;
    }

    // The best station's copy of its address and channel, since removing
    // stations below must not leave the comparison looking at freed records.
    struct Kept {
        std::string mac;
        std::int32_t channel;
    };
    std::map<std::string, Kept> kept;
    for (const auto &[name, station] : best)
        kept[name] = Kept{station->MacAddress, station->PhyChnl};

    for (auto it = m_Stations.begin(); it != m_Stations.end();) {
        const Kept &b = kept[it->second->NetName];
        if (it->second->MacAddress != b.mac && it->second->PhyChnl != b.channel)
            it = m_Stations.erase(it);
        else
            ++it;
    }
}

} // namespace kestrow
