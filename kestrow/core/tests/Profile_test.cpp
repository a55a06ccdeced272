// Profiles: the record in the registry and Apply's batches as the device
// receives them; the store over them (loading, auto-selection order through
// every change, names and sections); the operations driven by the editor,
// the main lock, an unexpected registry failure, the listing, and export and
// import (with the exports that must not happen).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <platform/Privilege.h>
#include <platform/Registry.h>

#include "RecordingMessageSink.h"
#include "Profile.h"
#include "ProfileListing.h"
#include "ProfileMngr.h"
#include "ProfileOps.h"
#include "SectionLock.h"
#include "Station.h"
#include "support/CoreTest.h"
#include "TempDir.h"

namespace kestrow {
namespace {

using test::FakeCall;

class ProfileTest : public test::CoreTest {
protected:
    // Applies `station` in `mode`; the requests the device received.
    std::vector<FakeCall> Sent(CStation &station, CStation::ApplyMode mode)
    {
        fake_.ClearCalls();
        EXPECT_TRUE(station.Apply(mode));
        return fake_.Execs();
    }
};

using Codes = std::vector<std::uint32_t>;

std::uint32_t DataU32(const FakeCall &c, std::size_t at)
{
    return static_cast<std::uint32_t>(c.data[at]) | static_cast<std::uint32_t>(c.data[at + 1]) << 8 |
           static_cast<std::uint32_t>(c.data[at + 2]) << 16 | static_cast<std::uint32_t>(c.data[at + 3]) << 24;
}

CProfile OpenNetwork(const std::string &ssid, bool infrastructure)
{
    CProfile p;
    p.NetName = ssid;
    p.NetMode = infrastructure;
    p.PhyType = 2;
    p.PhyChnl = 5;  // channel 6
    return p;
}

TEST_F(ProfileTest, SaveLoadRoundTripsUnderTheNamesOtherVersionsRead)
{
    EXPECT_EQ(CProfile("Profile 7", true).ActiveSecKey, -1);  // the default of an absent value
    CProfile p("Profile 7", false);
    p.ProfName = "Office";
    p.NetName = "corp";
    p.NetMode = true;
    p.PhyChnl = 9;
    p.SecKey[2] = "0123456789";
    p.Priority = 3;
    p.Use802_1 = true;
    ASSERT_TRUE(p.Save(false));
    CProfile back("Profile 7", true);
    EXPECT_EQ(back.NetName, "corp");
    EXPECT_EQ(back.PhyChnl, 9);
    EXPECT_EQ(back.SecKey[2], "0123456789");
    EXPECT_EQ(back.Priority, 3);
    EXPECT_TRUE(back.Use802_1);

    EXPECT_NE(app().GetProfileInt("Profile 7", "Sec Key Len 2", -1), -1);
    EXPECT_EQ(app().GetProfileString("Profile 7", "Sec Key 2", ""), "0123456789");
    EXPECT_EQ(app().GetProfileInt("Profile 7", "NetMode", -1), 1);

    // A copy has no section and holds no auto-selection slot.
    const CProfile copy(back);
    EXPECT_TRUE(copy.Section.empty());
    EXPECT_EQ(copy.Priority, -1);
    ASSERT_TRUE(back.ClearName());
    EXPECT_TRUE(CProfile("Profile 7", true).ProfName.empty());
}

TEST_F(ProfileTest, ChannelIndexAndNumberAreInverse)
{
    EXPECT_EQ(CProfile::ChannelNumber(0, 7), 64);
    EXPECT_EQ(CProfile::ChannelNumber(0, 8), 149);
    EXPECT_EQ(CProfile::ChannelNumber(2, 10), 11);
    for (int phy = 0; phy < 3; ++phy) {
        for (int index = 0; index < (phy == 0 ? 12 : 14); ++index)
            EXPECT_EQ(CProfile::ChannelIndex(phy, CProfile::ChannelNumber(phy, index)), index);
    }
    // Out-of-list numbers stay inside the list.
    EXPECT_EQ(CProfile::ChannelIndex(0, 100), 7);
    EXPECT_EQ(CProfile::ChannelIndex(0, 200), 11);
    EXPECT_EQ(CProfile::ChannelIndex(1, 0), 0);
}

TEST_F(ProfileTest, ConnectBatchesLeaveTheChannelOutForInfrastructureAndSendTheKey)
{
    CStation infra(OpenNetwork("home", true), nullptr, 0);
    infra.SecType = 9;  // a damaged profile's security type is sent as none
    auto calls = Sent(infra, CStation::Connect);
    EXPECT_FALSE(app().AdHocConnected());
    ASSERT_EQ(fake_.ExecCodes(), (Codes{0x220, 0x470, 0x80, 0x430}));
    EXPECT_EQ(DataU32(calls[0], 0), 1u);  // infrastructure
    EXPECT_EQ(DataU32(calls[1], 0), 2u);
    EXPECT_EQ(std::string(calls[2].data.begin(), calls[2].data.begin() + 5), "\x04home");
    EXPECT_EQ(DataU32(calls[3], 0), 0u);  // no security; ActiveSecKey -1: no key variable

    CStation adhoc(OpenNetwork("party", false), nullptr, 0);
    adhoc.ShortPreamble = true;
    calls = Sent(adhoc, CStation::Connect);
    EXPECT_TRUE(app().AdHocConnected());
    ASSERT_EQ(fake_.ExecCodes(), (Codes{0x220, 0x470, 0x80, 0x360, 0x430}));
    EXPECT_EQ(DataU32(calls[0], 0), 2u);  // ad hoc
    EXPECT_EQ(DataU32(calls[3], 0), 12u);
    EXPECT_EQ(calls[3].data[8], 6u);

    // WEP with key 1 of 10 digits; then a size code that is neither 0 nor 1
    // sends the key text's own digit count.
    CStation wep(OpenNetwork("secure", true), nullptr, 0);
    wep.SecType = 1;
    wep.ActiveSecKey = 1;
    wep.SecKey[1] = "0a1B2c3D4e";
    calls = Sent(wep, CStation::Connect);
    ASSERT_EQ(fake_.ExecCodes(), (Codes{0x220, 0x470, 0x80, 0x430, 0x400}));
    EXPECT_EQ(DataU32(calls[3], 0), 1u);
    EXPECT_EQ(calls[4].data[1], 5u);
    EXPECT_EQ(DataU32(calls[4], 4), 1u);
    wep.SecKeyLen[1] = 7;
    wep.SecKey[1] = "00112233445566";
    calls = Sent(wep, CStation::SecurityOnly);
    ASSERT_EQ(fake_.ExecCodes(), (Codes{0x430, 0x400}));  // security only: type and key
    EXPECT_EQ(calls[1].data[1], 7u);  // 14 digits, 7 bytes
}

TEST_F(ProfileTest, ReadFillsTheStationAndKeepsTheKeyEntries)
{
    fake_.Answer(0x70, {4, 'c', 'a', 'f', 'e'});
    fake_.Answer(0x350, {12, 0, 0, 0, 0, 0, 0, 0, 11, 0, 0, 0, 1, 0, 0, 0});  // channel 11, short preamble
    fake_.Answer(0x400, {2, 5, 0, 0, 1, 0, 0, 0, 1, 2, 3, 4, 5});

    CProfile p = OpenNetwork("old", true);
    p.SecType = 1;
    p.ActiveSecKey = 2;
    p.SecKey[2] = "abcdefabcd";
    p.RTSThreshold = 500;
    CStation s(p, "00-11-22-33-44-55", -50);
    Sent(s, CStation::Read);
    EXPECT_EQ(fake_.ExecCodes(), (Codes{0x210, 0x460, 0x70, 0x350, 0x420, 0x400}));
    EXPECT_EQ(s.NetName, "cafe");
    EXPECT_EQ(s.PhyChnl, 11);
    EXPECT_TRUE(s.ShortPreamble);
    EXPECT_EQ(s.MacAddress, "--");
    EXPECT_EQ(s.ActiveSecKey, 2);
    EXPECT_EQ(s.SecKey[2], "abcdefabcd");
    EXPECT_EQ(s.RTSThreshold, -1);  // RTS was off
    EXPECT_FALSE(s.UseRTS);

    // A failed read leaves the parse out and reports false.
    fake_.Refuse(0x350);
    CStation t(p, nullptr, 0);
    EXPECT_FALSE(t.Apply(CStation::Read));
    EXPECT_EQ(t.PhyChnl, 6);
}

using test::SaveProfile;
using ProfileMngrTest = test::CoreTest;

bool KeyExists(const std::string &section)
{
    return platform::Registry::current_user()->open_key(CKestrowApp::SectionKeyPath(section)) == 0u;
}

TEST_F(ProfileMngrTest, LoadToleratesGapsHonoursTheCountAndReadsAHundredProfiles)
{
    SaveProfile(0, "first", "n0", 0, false);
    SaveProfile(5, "sixth", "n5", 0);
    ASSERT_TRUE(app().WriteProfileInt("", kNumOfProfiles, 0));
    EXPECT_EQ(CProfileMngr().GetCount(), 0u);  // "NumOfProfiles" 0 loads nothing
    ASSERT_TRUE(app().WriteProfileInt("", kNumOfProfiles, 2));
    {
        CProfileMngr store;
        ASSERT_EQ(store.GetCount(), 2u);
        EXPECT_EQ(store.Get("first")->Priority, -1);  // not a member
        EXPECT_EQ(store.Get("sixth")->Section, "Profile 5");
        EXPECT_EQ(store.GetAutoSelectCount(), 1);
        for (int i = 2; i < 100; ++i)
            store.AddNew(nullptr);
        ASSERT_TRUE(store.SaveAll());
    }
    EXPECT_EQ(CProfileMngr().GetCount(), 100u);
}

TEST_F(ProfileMngrTest, AutoSelectionCyclesAndPrioritiesCloseUpAfterRemovals)
{
    SaveProfile(0, "a", "na", 0);
    SaveProfile(1, "b", "nb", 1);
    SaveProfile(2, "c", "nc", 2);
    SaveProfile(3, "d", "nd", -1, false);
    CProfileMngr store;
    std::vector<std::string> order;
    for (int i = 0; i < 4; ++i)
        order.push_back(store.NextAutoSelect()->ProfName);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "a"}));
    store.SetCurrent(nullptr, true);  // starts the cycle again
    EXPECT_EQ(store.NextAutoSelect()->ProfName, "a");

    store.Remove("d", true, false);
    store.SetCurrent(store.Get("a"), false);
    store.Remove("a", true, true);
    EXPECT_EQ(store.GetCurrent(), nullptr);  // removing the current one clears it
    EXPECT_EQ(store.Get("b")->Priority, 0);
    EXPECT_EQ(store.FindByPriority(1), store.Get("c"));
    EXPECT_FALSE(KeyExists("Profile 0"));
    EXPECT_EQ(store.UpdatePriorities(-1), 2);  // two members left: allocates the next slot
}

TEST_F(ProfileMngrTest, NewRecordsNeverShareASection)
{
    CProfileMngr store;
    store.Rename(store.AddNew(nullptr), "Home");  // keeps section "Profile 0"
    const std::string second = store.AddNew(nullptr);
    EXPECT_EQ(store.Get("Home")->Section, "Profile 0");
    EXPECT_EQ(store.Get(second)->Section, "Profile 1");

    // A station copied into a profile gives its channel back as an index.
    CProfile a;
    a.PhyType = 0;
    a.PhyChnl = 9;  // 153
    CStation station(a, nullptr, -40);
    EXPECT_EQ(store.Get(store.AddNew(&station))->PhyChnl, 9);
}

// A record without a section would name the application key itself; an
// export without the privilege fails without a message of its own.
TEST_F(ProfileMngrTest, ExportsThatCannotBeMadeAndARemovalThatTouchesOnlyItsOwnKey)
{
    ktest::TempDir dir;
    ktest::RecordingMessageSink messages;
    SaveProfile(0, "Alpha", "na", 0);
    CProfileMngr store;
    platform::set_privilege_failure_for_testing(1300);
    EXPECT_FALSE(store.RegOp(CProfileMngr::RegExportAll, dir.File("p.reg"), nullptr));
    platform::set_privilege_failure_for_testing(0);

    store.Get("Alpha")->Section.clear();
    EXPECT_FALSE(store.RegOp(CProfileMngr::RegExportOne, dir.File("a.reg"), "Alpha"));
    store.Remove("Alpha", true, true);
    EXPECT_TRUE(KeyExists("Profile 0"));
    EXPECT_EQ(app().GetProfileInt("", kNumOfProfiles, -1), 1);
    EXPECT_TRUE(messages.shown.empty());
}

class ProfileOpsTest : public test::CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        app().SetProfileMngr(std::make_unique<CProfileMngr>());
        // Members A, B, C (priorities 0..2) and D outside auto-selection.
        for (const char *n : {"A", "B", "C", "D"})
            ASSERT_TRUE(Ops().New(Named(n, std::string("Net") + n, n[0] != 'D')).Ok());
    }
    void TearDown() override { app().SetProfileMngr(nullptr); }

    static CProfileMngr &Store() { return *theApp().ProfileMngr(); }
    static int Priority(const char *name) { return Store().Get(name)->Priority; }
    static CProfileOps Ops() { return CProfileOps(theApp()); }
    // An accepting editor that renames the new record and sets its fields.
    static CProfileOps::Editor Named(const std::string &to, const std::string &ssid, bool member)
    {
        return [=](std::string &name) {
            Store().Rename(name, to);
            name = to;
            Store().Get(name)->NetName = ssid;
            Store().Get(name)->AutoSelect = member;
            return true;
        };
    }
};

TEST_F(ProfileOpsTest, OrderStaysDenseThroughMovesAndMembershipChangesAndBusyChangesNothing)
{
    EXPECT_FALSE(Ops().Move("A", -1).changed);  // the ends do nothing
    EXPECT_FALSE(Ops().Move("C", +1).changed);
    EXPECT_TRUE(Ops().Move("C", -1).changed);
    EXPECT_EQ(Priority("C"), 1);
    EXPECT_EQ(app().GetProfileInt(Store().Get("B")->Section, "Priority", -5), 2);  // saved

    EXPECT_TRUE(Ops().ToggleAutoSelect("C").changed);  // out: B moves up
    EXPECT_EQ(Priority("B"), 1);
    EXPECT_TRUE(Ops().ToggleAutoSelect("C").changed);  // in again: the next slot
    EXPECT_EQ(Priority("C"), 2);
    EXPECT_EQ(Ops().Delete(kConnectedStationName).status, OpStatus::NotFound);

    // While the main lock is held nothing happens, not even the editor.
    CSectionLock held(theApp(), Section::Main);
    EXPECT_EQ(Ops().Delete("D").status, OpStatus::Busy);
    EXPECT_EQ(Ops().New([](std::string &) -> bool { throw std::logic_error("editor ran"); }).status, OpStatus::Busy);
    EXPECT_EQ(Store().GetCount(), 4u);
}

TEST_F(ProfileOpsTest, EditorFlowsAllocateSaveOrRemove)
{
    // New, cancelled after the editor renamed and wrote it: record and key go.
    CProfileOpResult r = Ops().New([](std::string &name) { return !Named("Temp", "x", true)(name); });
    EXPECT_FALSE(r.changed);
    EXPECT_EQ(Store().Get("Temp"), nullptr);
    EXPECT_EQ(app().GetProfileString("Profile 4", "ProfName", "gone"), "gone");

    // New, accepted as a member: the next slot, saved under its final name.
    r = Ops().New(Named("E", "NetE", true));
    EXPECT_EQ(Priority("E"), 3);
    EXPECT_EQ(app().GetProfileString(Store().Get("E")->Section, "NetName", ""), "NetE");

    // Edit that leaves auto-selection closes the gap; one that joins appends.
    Ops().Edit("B", [](std::string &name) {
        Store().Get(name)->AutoSelect = false;
        return true;
    });
    EXPECT_EQ(Priority("B"), -1);
    EXPECT_EQ(Priority("E"), 2);
    Ops().Edit("D", [](std::string &name) {
        Store().Get(name)->AutoSelect = true;
        return false;  // Apply, then Cancel: the change stays
    });
    EXPECT_EQ(Priority("D"), 3);

    // A copy of a member, and a station saved as a member: the next slots.
    r = Ops().Duplicate("A", [](std::string &) { return true; });
    EXPECT_EQ(Store().Get(r.name)->NetName, "NetA");
    EXPECT_EQ(Store().Get(r.name)->Priority, 4);
    r = Ops().SaveStation(CStation(*Store().Get("C"), nullptr, -40), Named("S", "NetS", true));
    EXPECT_EQ(Priority("S"), 5);
}

// The registry goes away under the store, so deleting a key fails in a way
// no error code describes.
TEST_F(ProfileOpsTest, AnUnexpectedRegistryFailureIsReportedAndLeavesTheLockFree)
{
    ktest::RecordingMessageSink messages;
    const std::string registry = platform::Registry::default_path();
    ASSERT_EQ(setenv("KESTROW_REGISTRY", "/proc/kestrow-no-registry/registry.sqlite3", 1), 0);
    (void)platform::Registry::set_current_user_path(platform::Registry::default_path());
    ASSERT_EQ(platform::Registry::current_user(), nullptr);

    const CProfileOpResult deleted = Ops().Delete("A");
    const CProfileOpResult cancelled = Ops().New([](std::string &) { return false; });

    ASSERT_EQ(setenv("KESTROW_REGISTRY", registry.c_str(), 1), 0);
    ASSERT_EQ(platform::Registry::set_current_user_path(registry), 0u);
    for (const CProfileOpResult &r : {deleted, cancelled})
        EXPECT_EQ(r.Describe(), "Unknown error while performing profile registry operation");
    // The store is consistent and everything goes on working.
    EXPECT_EQ(Store().GetCount(), 3u);
    EXPECT_EQ(Priority("B"), 0);
    EXPECT_TRUE(Ops().Move("C", -1).changed);
}

TEST_F(ProfileOpsTest, TheListingShowsEveryRecordOnceInOrder)
{
    // A member whose slot lies past the number of profiles.
    Store().Get("B")->Priority = 7;
    for (int i = 0; i < 5; ++i)
        (void)Store().UpdatePriorities(-1);
    Store().Get("C")->NetName = "NetA";
    const CProfileListing listing(Store());
    const std::vector<const CProfile *> ordered = listing.Ordered();
    ASSERT_EQ(ordered.size(), 4u);
    EXPECT_EQ(ordered[2], Store().Get("B"));
    EXPECT_EQ(listing.Others(), std::vector<const CProfile *>{Store().Get("D")});
    EXPECT_EQ(listing.CurrentFor("NetA"), Store().Get("C"));  // the last member in slot order
}

// Export and import through hive files, as the pages and kestrowctl use them.
TEST_F(ProfileOpsTest, ExportReplacesOnlyAConfirmedFileAndImportAddsNonMembersKeptAtOnce)
{
    ktest::TempDir dir;
    ktest::RecordingMessageSink messages;
    CProfileOpResult r = Ops().ExportOne("B", dir.File("one"), true);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.name, dir.File("one.reg"));
    const auto size = std::filesystem::file_size(r.name);
    EXPECT_EQ(Ops().ExportOne("B", dir.File("one.reg"), false).status, OpStatus::Failed);
    EXPECT_EQ(messages.shown.size(), 1u);  // the system's text
    EXPECT_EQ(std::filesystem::file_size(r.name), size);
    EXPECT_EQ(Ops().ExportOne("nobody", dir.File("x.reg"), true).status, OpStatus::NotFound);
    ASSERT_TRUE(Ops().ExportAll(dir.File("all.reg"), true).Ok());

    Store().Get("B")->NetName = "NetB2";
    ASSERT_TRUE(Store().SaveAll());
    ASSERT_TRUE(Ops().ExportOne("B", dir.File("one.reg"), true).Ok());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);  // no scratch file left
    r = Ops().Import(dir.File("one.reg"));
    ASSERT_EQ(r.imported, std::vector<std::string>{"Profile 4"});
    EXPECT_EQ(app().GetProfileString("Profile 4", "NetName", ""), "NetB2");  // kept at once

    r = Ops().Import(dir.File("all.reg"));
    ASSERT_EQ(r.imported.size(), 4u);
    for (const std::string &name : r.imported) {
        EXPECT_EQ(Store().Get(name)->Priority, -1) << name;
        EXPECT_EQ(Store().Get(name)->Section, name);
    }
    EXPECT_EQ(Store().GetAutoSelectCount(), 3);
    EXPECT_EQ(messages.shown.size(), 1u);
    // The scratch area of the import is gone again.
    EXPECT_FALSE(KeyExists(kImportSection));
}

} // namespace
} // namespace kestrow
