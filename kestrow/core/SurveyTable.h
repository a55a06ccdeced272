// CSurveyTable: the rows of the site survey, as the Available Networks
// dialog and `kestrowctl scan` show them, built from the station list.
//
// Two views: the AP view has a row per station (row key: the station key
// "<name>;<channel>") and seven columns; the network view has a row per
// network name (row key: the name; the first station of that name in key
// order stands for it) and the first four columns.  Rows are sorted by the
// bytes of the sort column's text followed by " -- " and the row key, so
// equal texts keep a stable order; descending is the exact reverse.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace kestrow {

class CStation;
class CStationMngr;

// Signal level of a row's icon, by the thresholds of the survey.
enum class SignalLevel { Excellent, Good, Fair, Poor };

struct CSurveyRow {
    std::string rowKey;
    std::string stationKey;  // the station that stands for the row
    std::array<std::string, 7> cells;
    int linkQuality = 0;  // dBm
    // The row's station is the connected one (its icon says so).
    bool connected = false;
    // The row holds the connected station (in the network view another
    // station of the same name may stand for it): the row is coloured.
    bool connectedRow = false;

    bool operator==(const CSurveyRow &) const = default;
};

class CSurveyTable {
public:
    static constexpr int kColumns = 7;
    static constexpr int kNetViewColumns = 4;
    static constexpr int kSecurityColumn = 3;
    static const std::array<const char *, kColumns> kTitles;

    // The text of `column` for a station.
    static std::string CellText(const CStation &station, int column);
    static SignalLevel LevelOf(int linkQuality);
    // What rows sort by: the cell text, " -- ", the row key; compared as
    // bytes (unsigned), it orders any two rows of a view.
    static std::string SortKey(const std::string &cellText, const std::string &rowKey);
    // Whether `station` is the one the adapter is connected to.
    static bool IsConnected(const CStationMngr &stations, const CStation &station);
    // The rows of a view, sorted by `sortColumn`.
    static std::vector<CSurveyRow> Rows(const CStationMngr &stations, bool networkView, int sortColumn,
                                        bool ascending);
    // The station a row key of a view names (null: none any more).
    static CStation *Find(const CStationMngr &stations, bool networkView, const std::string &rowKey);
};

} // namespace kestrow
