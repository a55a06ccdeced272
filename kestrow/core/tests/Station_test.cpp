// The station list from crafted scan blocks, the connected station and the
// tracking of a lost connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "Poll.h"
#include "ProfileMngr.h"
#include "RequestRecord.h"
#include "Station.h"
#include "StationMngr.h"
#include "SurveyTable.h"
#include "support/CoreTest.h"

namespace kestrow {
namespace {

// A scan result entry; its BSSID is 00-11-22-33-44-<last>.
struct Entry {
    std::string ssid;
    int channel = 1;
    std::uint8_t last = 0;
    std::int32_t signal = -60;
    std::uint32_t phy = 2;
    bool privacy = false;
    int ssidLength = -1;  // -1: the SSID's own length
};

// The scan result block (the command data of variable 0x190) holding these
// entries, with their numbers as the counts.
std::vector<std::uint8_t> Block(const std::vector<Entry> &infra, const std::vector<Entry> &adhoc = {})
{
    request_record r;
    const auto put = [&r](std::size_t countAt, std::size_t at, const std::vector<Entry> &entries) {
        r.set_u8(countAt, static_cast<std::uint8_t>(entries.size()));
        for (const Entry &e : entries) {
            for (std::size_t i = 1; i < 5; ++i)
                r.set_u8(at + kEntryBssid + i, static_cast<std::uint8_t>(0x11 * i));
            r.set_u8(at + kEntryBssid + 5, e.last);
            r.set_u8(at + kEntrySsidLen, static_cast<std::uint8_t>(e.ssidLength >= 0 ? e.ssidLength : e.ssid.size()));
            for (std::size_t i = 0; i < std::min<std::size_t>(e.ssid.size(), kEntryMaxSsid); ++i)
                r.set_u8(at + kEntrySsid + i, static_cast<std::uint8_t>(e.ssid[i]));
            r.set_u32(at + kEntryPhyType, e.phy);
            r.set_u32(at + kEntrySignal, static_cast<std::uint32_t>(e.signal));
            r.set_u8(at + kEntryChannel, static_cast<std::uint8_t>(e.channel));
            r.set_u8(at + kEntryPrivacy, e.privacy ? 1 : 0);
            at += kScanEntrySize;
        }
    };
    put(kScanInfraCount, kScanInfraList, infra);
    put(kScanAdHocCount, kScanAdHocList, adhoc);
    return {r.data(), r.data() + kRecordDataSize};
}

using StationTest = test::CoreTest;

TEST_F(StationTest, CraftedBlocksDecodeWithTheirLimits)
{
    CProfileMngr store(CProfileMngr::Mode::ReadOnly);
    CStationMngr stations(app(), store);
    EXPECT_TRUE(app().ScanActive());  // the constructor started a scan

    std::vector<std::uint8_t> block = Block(
        {{"cafe", 1, 1, -80},
         {"cafe", 1, 2, -40},  // same name and channel: skipped
         {"cafe", 6, 3, -55},
         {.ssid = "", .channel = 6, .last = 3, .ssidLength = 5},  // zero bytes: a hidden network
         {.ssid = std::string(40, 'x'), .channel = 11, .last = 9, .ssidLength = 200}},  // claims more than 32
        {{.ssid = "party", .channel = 3, .last = 7, .signal = -70, .phy = 1, .privacy = true}});
    block[kScanMoreResults] = 1;
    fake_.Answer(0x190, block);
    EXPECT_TRUE(stations.UpdateFromScan());  // more results to come

    ASSERT_EQ(stations.GetCount(), 5u);
    const CStation *first = stations.Lookup("cafe;1");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->MacAddress, "00-11-22-33-44-01");
    EXPECT_EQ(first->LinkQuality, -80);
    EXPECT_EQ(stations.Lookup("cafe;6")->ProfName, "Station 2");  // index 1 was skipped
    EXPECT_NE(stations.Lookup(";6"), nullptr);
    EXPECT_NE(stations.Lookup(std::string(32, 'x') + ";11"), nullptr);
    const CStation *party = stations.Lookup("party;3");
    ASSERT_NE(party, nullptr);
    EXPECT_EQ(std::make_tuple(party->NetMode, party->SecType, party->PhyType, party->ProfName),
              std::make_tuple(false, 1, 1, std::string("Station 5")));

    // Counts above 20 are read as 20; an empty block gives an empty list.
    std::vector<Entry> many;
    for (int i = 0; i < 20; ++i)
        many.push_back({"n" + std::to_string(i), 1, static_cast<std::uint8_t>(i)});
    block = Block(many);
    block[kScanInfraCount] = 250;
    fake_.Answer(0x190, block);
    EXPECT_FALSE(stations.UpdateFromScan());
    EXPECT_EQ(stations.GetCount(), 20u);
    fake_.Answer(0x190, Block({}));
    EXPECT_FALSE(stations.UpdateFromScan());
    EXPECT_EQ(stations.GetCount(), 0u);
}

TEST_F(StationTest, MergeByNetworkKeepsTheStrongestAndTheFirstOnATie)
{
    CProfileMngr store(CProfileMngr::Mode::ReadOnly);
    CStationMngr stations(app(), store);
    fake_.Answer(0x190, Block({{"tie", 1, 1, -50},
                               {"tie", 6, 2, -50},
                               {"strong", 1, 3, -70},
                               {"strong", 11, 4, -45},
                               {"weak", 1, 5, -127},
                               {"weak", 6, 6, -127}}));
    ASSERT_TRUE(app().WriteProfileInt("", "View AP or NET", 1));
    stations.UpdateFromScan();
    std::vector<std::string> keys;
    for (const auto &[key, station] : stations)
        keys.push_back(key);
    // Walked in key order: "tie;1" is met before "tie;6"; at -127 nothing is
    // picked, so the first of them stays.
    EXPECT_EQ(keys, (std::vector<std::string>{"strong;11", "tie;1", "weak;1"}));
}

TEST_F(StationTest, ConnectionLossIsHandledOnceAndOwnAdHocIsNoLoss)
{
    app().SetPoll(std::make_unique<CPoll>(app()));
    CPoll &poll = *app().Poll();
    app().SetProfileMngr(std::make_unique<CProfileMngr>());
    CProfileMngr &profiles = *app().ProfileMngr();
    app().SetStationMngr(std::make_unique<CStationMngr>(app(), profiles));
    CStationMngr &stations = *app().StationMngr();

    fake_.Answer(0x190, Block({{"home", 6, 7}}));
    fake_.Answer(0x590, {1});  // connected to that entry
    fake_.Answer(0x50, {0, 0x11, 0x22, 0x33, 0x44, 7});
    fake_.Answer(0x350, {12, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0});  // channel 6
    stations.UpdateFromScan();
    ASSERT_NE(stations.GetConnectedStation(), nullptr);
    EXPECT_EQ(profiles.Get("ConnectedStation"), stations.GetConnectedStation());
    const std::string name = profiles.AddNew(nullptr);
    profiles.SetCurrent(profiles.Get(name), false);
    poll.SetInterval(20);

    fake_.Answer(0x590, {0});
    fake_.Answer(0x50, {0, 0, 0, 0, 0, 0});
    stations.UpdateFromScan();
    EXPECT_EQ(stations.GetConnectedStation(), nullptr);
    EXPECT_EQ(profiles.GetCurrent(), nullptr);
    EXPECT_EQ(poll.GetInterval(), CPoll::kShortInterval);  // statistics reset

    // A second update without connection changes nothing more.
    profiles.SetCurrent(profiles.Get(name), false);
    poll.SetInterval(20);
    stations.UpdateFromScan();
    EXPECT_EQ(profiles.GetCurrent(), profiles.Get(name));
    EXPECT_EQ(poll.GetInterval(), 20);

    // An ad hoc network this program started: the device reports no
    // connection, which is not a loss.
    app().SetAdHocConnected(true);
    stations.UpdateFromScan();
    stations.ConnectedKey = "own;3";
    stations.UpdateFromScan();
    EXPECT_EQ(stations.ConnectedKey, "own;3");
    EXPECT_TRUE(stations.WasConnected);
}

// The site survey's rows: byte-wise order of the sort column's text (bytes
// above 0x7F after ASCII, "11" before "6"), one row per name in the network
// view, descending as the exact reverse.
using SurveyTable = StationTest;

TEST_F(SurveyTable, RowsSortByBytesAndTheNetworkViewHasOneRowPerName)
{
    CProfileMngr store(CProfileMngr::Mode::ReadOnly);
    CStationMngr stations(app(), store);
    fake_.Answer(0x190, Block({{"\xC3\x89" "cole", 6, 1}, {"Zed", 1, 2}, {"cafe", 1, 3, -50}, {"cafe", 11, 4, -80}}));
    stations.UpdateFromScan();

    const auto keys = [&](bool networkView, int column, bool ascending) {
        std::vector<std::string> out;
        for (const CSurveyRow &row : CSurveyTable::Rows(stations, networkView, column, ascending))
            out.push_back(row.rowKey);
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(keys(false, 1, true), (V{"Zed;1", "cafe;1", "cafe;11", "\xC3\x89" "cole;6"}));
    EXPECT_EQ(keys(false, 1, false), (V{"\xC3\x89" "cole;6", "cafe;11", "cafe;1", "Zed;1"}));
    EXPECT_EQ(keys(false, 4, true), (V{"Zed;1", "cafe;1", "cafe;11", "\xC3\x89" "cole;6"}));
    EXPECT_EQ(keys(true, 1, true), (V{"Zed", "cafe", "\xC3\x89" "cole"}));
    // Sorted by a column whose texts differ between the stations of a name:
    // still one row, that of the first station in key order.
    const auto bySignal = CSurveyTable::Rows(stations, true, 0, true);
    ASSERT_EQ(bySignal.size(), 3u);
    for (const CSurveyRow &row : bySignal)
        EXPECT_NE(row.stationKey, "cafe;11");
}

} // namespace
} // namespace kestrow
