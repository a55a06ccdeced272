#include "SurveyTable.h"

#include <algorithm>
#include <map>
#include <set>

#include "Conversions.h"
#include "Station.h"
#include "StationMngr.h"

namespace kestrow {

namespace {
constexpr const char *kSortSeparator = " -- ";

std::string SecurityText(int secType)
{
    switch (secType) {
    case 0: return "None";
    case 1: return "WEP";
    case 2: return "TKIP";
    default: return std::string();
    }
}
} // namespace

const std::array<const char *, CSurveyTable::kColumns> CSurveyTable::kTitles = {
    "Link Quality", "Network Name (SSID)", "Mode", "Security", "Channel", "Rate", "MAC"};

std::string CSurveyTable::CellText(const CStation &station, int column)
{
    std::string text;
    switch (column) {
    case 0: FormatSignal(station.LinkQuality, &text); break;
    case 1: text = station.NetName; break;
    case 2: text = station.NetMode ? "Infrastructure" : "Ad-Hoc"; break;
    case 3: text = SecurityText(station.SecType); break;
    case 4: text = std::to_string(station.PhyChnl); break;
    case 5: text = station.PhyType == 1 ? "11 Mbps" : "54 Mbps"; break;
    case 6: text = station.MacAddress; break;
    default: break;
    }
    return text;
}

SignalLevel CSurveyTable::LevelOf(int linkQuality)
{
    if (linkQuality < -81)
        return SignalLevel::Poor;
    if (linkQuality < -71)
        return SignalLevel::Fair;
    if (linkQuality < -67)
        return SignalLevel::Good;
    return SignalLevel::Excellent;
}

std::string CSurveyTable::SortKey(const std::string &cellText, const std::string &rowKey)
{
    return cellText + kSortSeparator + rowKey;
}

bool CSurveyTable::IsConnected(const CStationMngr &stations, const CStation &station)
{
    return !station.NetName.empty() && !stations.ConnectedKey.empty() && station.Key() == stations.ConnectedKey;
}

std::vector<CSurveyRow> CSurveyTable::Rows(const CStationMngr &stations, bool networkView, int sortColumn,
                                           bool ascending)
{
    // Sort text -> row.  std::string compares bytes as unsigned chars; the
    // key after the cell text breaks ties, and equal texts are one.
    std::map<std::string, CSurveyRow> entries;
    std::set<std::string> names;
    std::string connectedRow;
    for (const auto &[key, station] : stations) {
        const std::string rowKey = networkView ? station->NetName : key;
        if (IsConnected(stations, *station))
            connectedRow = rowKey;
        // The network view has one row per name: that of the first station.
        if (networkView && !names.insert(rowKey).second)
            continue;
        CSurveyRow row;
        row.rowKey = rowKey;
        row.stationKey = key;
        row.linkQuality = station->LinkQuality;
        row.connected = IsConnected(stations, *station);
        const int columns = networkView ? kNetViewColumns : kColumns;
        for (int c = 0; c < columns; ++c)
            row.cells[static_cast<std::size_t>(c)] = CellText(*station, c);
        entries.emplace(SortKey(CellText(*station, sortColumn), rowKey), std::move(row));
    }
    std::vector<CSurveyRow> rows;
    rows.reserve(entries.size());
    for (auto &entry : entries) {
        entry.second.connectedRow = !connectedRow.empty() && entry.second.rowKey == connectedRow;
        rows.push_back(std::move(entry.second));
    }
    if (!ascending)
        std::reverse(rows.begin(), rows.end());
    return rows;
}

CStation *CSurveyTable::Find(const CStationMngr &stations, bool networkView, const std::string &rowKey)
{
    if (!networkView)
        return stations.Lookup(rowKey);
    for (const auto &[key, station] : stations) {
        if (station->NetName == rowKey)
            return station.get();
    }
    return nullptr;
}

} // namespace kestrow
