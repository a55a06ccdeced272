#include "ScanCmd.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <span>
#include <thread>
#include <vector>

#include <Conversions.h>
#include <KestrowApp.h>
#include <StationMngr.h>
#include <VarCodes.h>

#include "CtlArgs.h"
#include "CtlError.h"
#include "CtlSession.h"
#include "DeviceQuery.h"
#include "JsonWriter.h"

namespace kestrowctl {

using namespace kestrow;

namespace {

// The station list without the network view's reduction, from the latest
// scan results (the list was reduced because Kestrow's window was last
// left in the network view).  The connected station keeps its key.
void RebuildAllStations(CStationMngr &stations)
{
    const auto record = ReadRecord(VAR_SCAN_RESULTS);
    if (!record)
        return;
    const std::span<const std::uint8_t> block(record->data(), kRecordDataSize);
    stations.RemoveAll();
    struct List {
        std::size_t countAt;
        std::size_t entriesAt;
        bool adhoc;
    };
    const List lists[] = {{kScanInfraCount, kScanInfraList, false}, {kScanAdHocCount, kScanAdHocList, true}};
    int index = 0;
    for (const List &list : lists) {
        const std::size_t count = std::min<std::size_t>(block[list.countAt], kScanMaxEntries);
        for (std::size_t e = 0; e < count; ++e, ++index) {
            const auto entry = block.subspan(list.entriesAt + e * kScanEntrySize, kScanEntrySize);
            auto station = std::make_unique<CStation>(entry, list.adhoc);
            if (stations.Lookup(station->Key()) != nullptr)
                continue;  // only the first of a network name on a channel
            station->ProfName = "Station " + std::to_string(index);
            stations.AddStation(std::move(station));
        }
    }
}

struct Row {
    const CStation *station;
    std::string key;  // row key: network name, or the station key
    bool connected;
};

bool IsConnectedStation(const CStationMngr &stations, const CStation &s)
{
    return !s.NetName.empty() && !stations.ConnectedKey.empty() && s.Key() == stations.ConnectedKey;
}

std::vector<Row> Rows(const CStationMngr &stations, bool networkView)
{
    std::vector<Row> rows;
    for (const auto &[key, station] : stations) {
        const bool connected = IsConnectedStation(stations, *station);
        if (networkView) {
            // One row per network name: the first station of that name.
            const auto same = std::find_if(rows.begin(), rows.end(),
                                           [&](const Row &r) { return r.key == station->NetName; });
            if (same != rows.end()) {
                same->connected = same->connected || connected;
                continue;
            }
            rows.push_back(Row{station.get(), station->NetName, connected});
        } else {
            rows.push_back(Row{station.get(), key, connected});
        }
    }
    // Strongest first; the row key breaks ties.
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        if (a.station->LinkQuality != b.station->LinkQuality)
            return a.station->LinkQuality > b.station->LinkQuality;
        return a.key < b.key;
    });
    return rows;
}

std::string ModeText(const CStation &s)
{
    return s.NetMode ? "Infrastructure" : "Ad-Hoc";
}

std::string SecurityCell(const CStation &s)
{
    switch (s.SecType) {
    case 1: return "WEP";
    case 2: return "TKIP";
    default: return "None";
    }
}

std::string RateText(const CStation &s)
{
    return s.PhyType == 1 ? "11 Mbps" : "54 Mbps";
}

} // namespace

CStationMngr &CScanCmd::Scan(CCtlSession &session, bool networkView)
{
    CKestrowApp &app = theApp();
    // Creating the list starts the scan; a second scan would only restart
    // the adapter's channel walk.
    const bool created = app.StationMngr() == nullptr;
    CStationMngr &stations = session.Stations();
    if (!created && stations.StartScan() == 0)
        app.SetScanActive(false);
    if (!app.ScanActive())
        throw Failure("the adapter did not start a scan");

    const int timeout = session.Options().timeoutSecs;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
    while (stations.UpdateFromScan()) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw Failure("the scan did not finish within " + std::to_string(timeout) +
                          " s (try a longer --timeout)");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    app.SetScanActive(false);
    if (stations.GetCount() == 0 && !ReadRecord(VAR_SCAN_RESULTS))
        throw Failure("the adapter gave no scan results");

    const bool savedNetView = app.GetProfileInt("", "View AP or NET", 0) != 0;
    if (networkView)
        stations.MergeByNetwork();
    else if (savedNetView)
        RebuildAllStations(stations);
    return stations;
}

std::string CScanCmd::Run(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({"--net"}, {});
    args.ExpectWords(1, 0, "scan [--net]");
    const bool networkView = args.Flag("--net");
    const CStationMngr &stations = Scan(session, networkView);
    const std::vector<Row> rows = Rows(stations, networkView);

    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("view").String(networkView ? "network" : "ap");
        w.Key("stations").BeginArray();
        for (const Row &row : rows) {
            const CStation &s = *row.station;
            std::string quality;
            FormatSignal(s.LinkQuality, &quality);
            w.BeginObject();
            w.Key("link_quality").String(quality);
            w.Key("signal_dbm").Int(s.LinkQuality);
            w.Key("ssid").String(s.NetName);
            w.Key("ssid_hex").String(HexBytes(s.NetName));
            w.Key("mode").String(ModeText(s));
            w.Key("security").String(SecurityCell(s));
            w.Key("channel").Int(s.PhyChnl);
            w.Key("rate").String(RateText(s));
            w.Key("mac").String(s.MacAddress);
            w.Key("connected").Bool(row.connected);
            w.EndObject();
        }
        w.EndArray();
        w.EndObject();
        return w.Take();
    }

    std::vector<std::string> header = {"", "Link Quality", "Network Name (SSID)", "Mode", "Security"};
    if (!networkView)
        header.insert(header.end(), {"Channel", "Rate", "MAC"});
    std::vector<std::vector<std::string>> cells;
    for (const Row &row : rows) {
        const CStation &s = *row.station;
        std::string quality;
        FormatSignal(s.LinkQuality, &quality);
        std::vector<std::string> line = {row.connected ? "*" : "", quality, EscapeText(s.NetName), ModeText(s),
                                         SecurityCell(s)};
        if (!networkView)
            line.insert(line.end(), {std::to_string(s.PhyChnl), RateText(s), s.MacAddress});
        cells.push_back(std::move(line));
    }
    std::string out = std::string(networkView ? "Available Networks" : "Available AP's") + "\n";
    out += FormatTable(header, cells);
    return out;
}

} // namespace kestrowctl
