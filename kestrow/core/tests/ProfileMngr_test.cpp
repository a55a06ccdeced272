// The profile store: loading, auto-selection order, names and sections, and
// export and import through hive files.
#include <gtest/gtest.h>


#include <platform/Privilege.h>
#include <platform/Registry.h>

#include "RecordingMessageSink.h"
#include "RegistryDump.h"
#include "TempDir.h"
#include "KestrowApp.h"
#include "ProfileMngr.h"
#include "Station.h"
#include "support/ProfileFixtures.h"
#include "support/Recorders.h"

namespace kestrow {
namespace {

class ProfileMngrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTheApp();
        ktest::DeleteRegistryTree(CKestrowApp::AppKeyPath());
    }

    static void Store(int index, const std::string &name, bool autoSelect, int priority)
    {
        CProfile p("Profile " + std::to_string(index), false);
        p.ProfName = name;
        p.NetName = name + "-net";
        p.AutoSelect = autoSelect;
        p.Priority = priority;
        ASSERT_TRUE(p.Save(false));
    }
    static void SetCount(int n) { ASSERT_TRUE(theApp().WriteProfileInt("", kNumOfProfiles, n)); }
    std::string File(const char *name) const { return dir_.File(name); }

    ktest::TempDir dir_;
};

TEST_F(ProfileMngrTest, LoadToleratesGapsAndHonoursTheCount)
{
    Store(0, "first", false, 0);
    Store(5, "sixth", true, 0);
    {
        SetCount(0);
        CProfileMngr none;
        EXPECT_EQ(none.GetCount(), 0u);  // "NumOfProfiles" 0 loads nothing
    }
    SetCount(2);
    CProfileMngr store;
    ASSERT_EQ(store.GetCount(), 2u);
    EXPECT_EQ(store.Get("first")->Priority, -1);  // not a member
    EXPECT_EQ(store.Get("sixth")->Section, "Profile 5");
    EXPECT_EQ(store.GetAutoSelectCount(), 1);
    EXPECT_EQ(store.Get("EditStation"), nullptr);
    EXPECT_EQ(store.Get("ConnectedStation"), nullptr);
}

TEST_F(ProfileMngrTest, AStoreOfAHundredProfilesLoadsAgain)
{
    {
        CProfileMngr store;
        for (int i = 0; i < 100; ++i)
            store.AddNew(nullptr);
        ASSERT_TRUE(store.SaveAll());
    }
    CProfileMngr back;
    EXPECT_EQ(back.GetCount(), 100u);
}

TEST_F(ProfileMngrTest, PrioritiesCloseUpAfterRemovals)
{
    Store(0, "a", true, 0);
    Store(1, "b", true, 1);
    Store(2, "c", true, 2);
    Store(3, "d", false, -1);
    SetCount(4);
    CProfileMngr store;
    ASSERT_EQ(store.GetAutoSelectCount(), 3);
    store.Remove("d", true, false);
    EXPECT_EQ(store.GetAutoSelectCount(), 3);
    store.Remove("a", true, true);
    EXPECT_EQ(store.GetAutoSelectCount(), 2);
    EXPECT_EQ(store.Get("b")->Priority, 0);
    EXPECT_EQ(store.Get("c")->Priority, 1);
    EXPECT_EQ(store.FindByPriority(1), store.Get("c"));
    // The key of "a" went from the registry.
    EXPECT_NE(platform::Registry::current_user()->open_key(CKestrowApp::SectionKeyPath("Profile 0")), 0u);
    EXPECT_EQ(store.UpdatePriorities(-1), 2);  // allocates the next slot
}

TEST_F(ProfileMngrTest, NextAutoSelectCyclesAndRestarts)
{
    Store(0, "a", true, 0);
    Store(1, "b", true, 1);
    Store(2, "c", true, 2);
    SetCount(3);
    CProfileMngr store;
    std::vector<std::string> order;
    for (int i = 0; i < 4; ++i)
        order.push_back(store.NextAutoSelect()->ProfName);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "a"}));
    store.SetCurrent(store.Get("b"), false);
    EXPECT_EQ(store.GetCurrent(), store.Get("b"));
    store.SetCurrent(nullptr, true);
    EXPECT_EQ(store.NextAutoSelect()->ProfName, "a");
    // Removing the current profile clears it.
    store.SetCurrent(store.Get("c"), false);
    store.Remove("c", true, false);
    EXPECT_EQ(store.GetCurrent(), nullptr);
}

TEST_F(ProfileMngrTest, NewRecordsNeverShareASection)
{
    CProfileMngr store;
    EXPECT_EQ(store.MakeUniqueName(), "Profile 0");
    const std::string first = store.AddNew(nullptr);
    store.Rename(first, "Home");  // keeps section "Profile 0"
    const std::string second = store.AddNew(nullptr);
    EXPECT_EQ(second, "Profile 1");
    EXPECT_EQ(store.Get("Home")->Section, "Profile 0");
    EXPECT_EQ(store.Get(second)->Section, "Profile 1");
    EXPECT_EQ(store.Get(second)->Priority, -1);

    // A station copied into a profile gives its channel back as an index.
    CProfile a;
    a.PhyType = 0;
    a.PhyChnl = 9;  // 153
    CStation station(a, nullptr, -40);
    ASSERT_EQ(station.PhyChnl, 153);
    const std::string fromStation = store.AddNew(&station);
    EXPECT_EQ(store.Get(fromStation)->PhyChnl, 9);
}

TEST_F(ProfileMngrTest, ImportOfOneProfileAndOfAWholeStore)
{
    ktest::RecordingMessageSink messages;
    Store(0, "Alpha", true, 0);
    Store(1, "Beta", true, 1);
    SetCount(2);
    CProfileMngr store;
    ASSERT_TRUE(store.RegOp(CProfileMngr::RegExportOne, File("one.reg"), "Beta"));
    ASSERT_TRUE(store.RegOp(CProfileMngr::RegExportAll, File("all.reg"), nullptr));
    EXPECT_FALSE(store.RegOp(CProfileMngr::RegExportOne, File("x.reg"), "nobody"));

    ASSERT_TRUE(store.RegOp(CProfileMngr::RegImport, File("one.reg"), nullptr));
    ASSERT_EQ(store.GetCount(), 3u);
    const CProfile *imported = store.Get("Profile 2");
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(imported->NetName, "Beta-net");
    EXPECT_FALSE(imported->AutoSelect);
    EXPECT_EQ(imported->Priority, -1);

    ASSERT_TRUE(store.RegOp(CProfileMngr::RegImport, File("all.reg"), nullptr));
    ASSERT_EQ(store.GetCount(), 5u);
    for (const char *name : {"Profile 3", "Profile 4"}) {
        const CProfile *p = store.Get(name);
        ASSERT_NE(p, nullptr) << name;
        EXPECT_FALSE(p->AutoSelect);
        EXPECT_EQ(p->Priority, -1);
        EXPECT_EQ(p->Section, name);
    }
    EXPECT_EQ(store.GetAutoSelectCount(), 2);
    EXPECT_TRUE(messages.shown.empty());
    // The scratch area is gone again.
    EXPECT_NE(platform::Registry::current_user()->open_key(CKestrowApp::SectionKeyPath(kImportSection)), 0u);
}

// A record without a section would name the application key itself.
TEST_F(ProfileMngrTest, ARecordWithoutASectionIsNeitherExportedNorDeleted)
{
    Store(0, "Alpha", true, 0);
    SetCount(1);
    CProfileMngr store;
    store.Get("Alpha")->Section.clear();
    EXPECT_FALSE(store.RegOp(CProfileMngr::RegExportOne, File("a.reg"), "Alpha"));
    store.Remove("Alpha", true, true);
    EXPECT_EQ(platform::Registry::current_user()->open_key(CKestrowApp::SectionKeyPath("Profile 0")), 0u);
}

// (Damaged imports are the fault tests' business.)
TEST_F(ProfileMngrTest, ExportWithoutThePrivilegeFailsSilently)
{
    Store(0, "Alpha", true, 0);
    SetCount(1);
    CProfileMngr store;
    ktest::RecordingMessageSink messages;
    platform::set_privilege_failure_for_testing(1300);
    EXPECT_FALSE(store.RegOp(CProfileMngr::RegExportAll, File("p.reg"), nullptr));
    platform::set_privilege_failure_for_testing(0);
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
} // namespace kestrow
