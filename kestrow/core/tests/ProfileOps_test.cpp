// The profile operations: auto-selection order through every change, the
// editor-driven add/edit/duplicate/save-station flows, the main lock, an
// unexpected registry failure, the listing, and export and import.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <platform/Registry.h>

#include "RecordingMessageSink.h"
#include "ProfileListing.h"
#include "ProfileMngr.h"
#include "ProfileOps.h"
#include "SectionLock.h"
#include "Station.h"
#include "support/CoreTest.h"
#include "TempDir.h"

namespace kestrow {
namespace {

class ProfileOpsTest : public test::CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        app().SetProfileMngr(std::make_unique<CProfileMngr>());
    }
    void TearDown() override { app().SetProfileMngr(nullptr); }

    static CProfileMngr &Store() { return *theApp().ProfileMngr(); }
    static int Priority(const char *name) { return Store().Get(name)->Priority; }
    // An accepting editor that renames the new record and sets its fields.
    static CProfileOps::Editor Named(const std::string &to, const std::string &ssid, bool member)
    {
        return [=](std::string &name) {
            Store().Rename(name, to);
            name = to;
            CProfile &p = *Store().Get(name);
            p.NetName = ssid;
            p.AutoSelect = member;
            return true;
        };
    }
    // Members A, B, C (priorities 0..2) and D outside auto-selection.
    void AddFour()
    {
        for (const char *n : {"A", "B", "C", "D"})
            ASSERT_TRUE(Ops().New(Named(n, std::string("Net") + n, n[0] != 'D')).Ok());
    }
    static CProfileOps Ops() { return CProfileOps(theApp()); }
};

TEST_F(ProfileOpsTest, OrderStaysDenseThroughMovesAndMembershipChangesAndBusyChangesNothing)
{
    AddFour();
    EXPECT_FALSE(Ops().Move("A", -1).changed);  // the ends do nothing
    EXPECT_FALSE(Ops().Move("C", +1).changed);
    EXPECT_TRUE(Ops().Move("C", -1).changed);
    EXPECT_EQ(Priority("C"), 1);
    EXPECT_EQ(Priority("B"), 2);
    EXPECT_EQ(app().GetProfileInt(Store().Get("B")->Section, "Priority", -5), 2);  // saved

    EXPECT_TRUE(Ops().ToggleAutoSelect("C").changed);  // out: B moves up
    EXPECT_EQ(Priority("C"), -1);
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
    AddFour();
    // New, cancelled after the editor renamed and wrote it: record and key go.
    CProfileOpResult r = Ops().New([](std::string &name) { return !Named("Temp", "x", true)(name); });
    EXPECT_FALSE(r.changed);
    EXPECT_EQ(Store().Get("Temp"), nullptr);
    EXPECT_EQ(app().GetProfileString("Profile 4", "ProfName", "gone"), "gone");

    // New, accepted as a member: the next slot, saved under its final name.
    r = Ops().New(Named("E", "NetE", true));
    EXPECT_EQ(r.name, "E");
    EXPECT_EQ(Priority("E"), 3);
    EXPECT_EQ(app().GetProfileString(Store().Get("E")->Section, "NetName", ""), "NetE");

    // Edit that leaves auto-selection closes the gap; one that joins appends.
    r = Ops().Edit("B", [](std::string &name) {
        Store().Get(name)->AutoSelect = false;
        return true;
    });
    EXPECT_EQ(Priority("B"), -1);
    EXPECT_EQ(Priority("C"), 1);
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
    const CStation station(*Store().Get("C"), nullptr, -40);
    r = Ops().SaveStation(station, Named("S", "NetS", true));
    EXPECT_EQ(Priority("S"), 5);
}

// The registry goes away under the store, so deleting a key fails in a way
// no error code describes.
TEST_F(ProfileOpsTest, AnUnexpectedRegistryFailureIsReportedAndLeavesTheLockFree)
{
    AddFour();
    ktest::RecordingMessageSink messages;
    const std::string registry = platform::Registry::default_path();
    ASSERT_EQ(setenv("KESTROW_REGISTRY", "/proc/kestrow-no-registry/registry.sqlite3", 1), 0);
    (void)platform::Registry::set_current_user_path(platform::Registry::default_path());
    ASSERT_EQ(platform::Registry::current_user(), nullptr);

    const CProfileOpResult deleted = Ops().Delete("A");
    const CProfileOpResult cancelled = Ops().New([](std::string &) { return false; });

    ASSERT_EQ(setenv("KESTROW_REGISTRY", registry.c_str(), 1), 0);
    ASSERT_EQ(platform::Registry::set_current_user_path(registry), 0u);
    for (const CProfileOpResult &r : {deleted, cancelled}) {
        EXPECT_EQ(r.status, OpStatus::Failed);
        EXPECT_EQ(r.Describe(), "Unknown error while performing profile registry operation");
    }
    // The store is consistent and everything goes on working.
    EXPECT_EQ(Store().GetCount(), 3u);
    EXPECT_EQ(Priority("B"), 0);
    EXPECT_TRUE(CSectionLock(theApp(), Section::Main).Owns());
    EXPECT_TRUE(Ops().Move("C", -1).changed);
}

TEST_F(ProfileOpsTest, TheListingShowsEveryRecordOnceInOrder)
{
    AddFour();
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
    AddFour();
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
        const CProfile *p = Store().Get(name);
        EXPECT_FALSE(p->AutoSelect) << name;
        EXPECT_EQ(p->Priority, -1) << name;
        EXPECT_EQ(p->Section, name);
    }
    EXPECT_EQ(Store().GetAutoSelectCount(), 3);
    EXPECT_EQ(messages.shown.size(), 1u);
    // The scratch area of the import is gone again.
    EXPECT_NE(platform::Registry::current_user()->open_key(CKestrowApp::SectionKeyPath(kImportSection)), 0u);
}

} // namespace
} // namespace kestrow
