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
#include <SurveyTable.h>
#include "JsonWriter.h"

namespace kestrowctl {

using namespace kestrow;

namespace {

// Strongest first; the row key breaks ties.
std::vector<CSurveyRow> Rows(const CStationMngr &stations, bool networkView)
{
    std::vector<CSurveyRow> rows = CSurveyTable::Rows(stations, networkView, 1, true);
    std::stable_sort(rows.begin(), rows.end(), [](const CSurveyRow &a, const CSurveyRow &b) {
        if (a.linkQuality != b.linkQuality)
            return a.linkQuality > b.linkQuality;
        return a.rowKey < b.rowKey;
    });
    return rows;
}

} // namespace

CStationMngr &CScanCmd::Scan(CCtlSession &session, bool networkView)
{
    CKestrowApp &app = theApp();
    // Creating the list starts the scan; a second scan would only restart
    // the adapter's channel walk.
    const bool created = app.StationMngr() == nullptr;
    CStationMngr &stations = session.Stations();
    stations.SetNetworkView(networkView);
    if (!created && stations.StartScan() == 0)
        app.SetScanActive(false);
    if (!app.ScanActive())
        throw Failure("the adapter did not start a scan");

    const int timeout = session.Options().timeoutSecs;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
    if (!stations.UpdateUntil(deadline))
        throw Failure("the scan did not finish within " + std::to_string(timeout) +
                      " s (try a longer --timeout)");
    app.SetScanActive(false);
    return stations;
}

std::string CScanCmd::Run(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({"--net"}, {});
    args.ExpectWords(1, 0, "scan [--net]");
    const bool networkView = args.Flag("--net");
    const CStationMngr &stations = Scan(session, networkView);
    const std::vector<CSurveyRow> rows = Rows(stations, networkView);

    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("view").String(networkView ? "network" : "ap");
        w.Key("stations").BeginArray();
        for (const CSurveyRow &row : rows) {
            const CStation &s = *stations.Lookup(row.stationKey);
            w.BeginObject();
            w.Key("link_quality").String(row.cells[0]);
            w.Key("signal_dbm").Int(s.LinkQuality);
            w.Key("ssid").String(s.NetName);
            w.Key("ssid_hex").String(HexBytes(s.NetName));
            w.Key("mode").String(row.cells[2]);
            w.Key("security").String(row.cells[3]);
            w.Key("channel").Int(s.PhyChnl);
            w.Key("rate").String(CSurveyTable::CellText(s, 5));
            w.Key("mac").String(s.MacAddress);
            w.Key("connected").Bool(row.connectedRow);
            w.EndObject();
        }
        w.EndArray();
        w.EndObject();
        return w.Take();
    }

    std::vector<std::string> header = {""};
    const int columns = networkView ? CSurveyTable::kNetViewColumns : CSurveyTable::kColumns;
    for (int c = 0; c < columns; ++c)
        header.emplace_back(CSurveyTable::kTitles[static_cast<std::size_t>(c)]);
    std::vector<std::vector<std::string>> cells;
    for (const CSurveyRow &row : rows) {
        std::vector<std::string> line = {row.connectedRow ? "*" : ""};
        for (int c = 0; c < columns; ++c) {
            const std::string &text = row.cells[static_cast<std::size_t>(c)];
            line.push_back(c == 1 ? EscapeText(text) : text);
        }
        cells.push_back(std::move(line));
    }
    std::string out = std::string(networkView ? "Available Networks" : "Available AP's") + "\n";
    out += FormatTable(header, cells);
    return out;
}

} // namespace kestrowctl
