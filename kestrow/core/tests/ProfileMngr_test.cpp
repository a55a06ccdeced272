// The profile store: loading, auto-selection order, names and sections, and
// the exports that must not happen.
#include <gtest/gtest.h>

#include <platform/Privilege.h>
#include <platform/Registry.h>

#include "RecordingMessageSink.h"
#include "TempDir.h"
#include "ProfileMngr.h"
#include "Station.h"
#include "support/CoreTest.h"

namespace kestrow {
namespace {

using test::SaveProfile;
using test::SaveProfileCount;
using ProfileMngrTest = test::CoreTest;

bool KeyExists(const std::string &section)
{
    return platform::Registry::current_user()->open_key(CKestrowApp::SectionKeyPath(section)) == 0u;
}

TEST_F(ProfileMngrTest, LoadToleratesGapsHonoursTheCountAndReadsAHundredProfiles)
{
    SaveProfile(0, "first", "n0", 0, false);
    SaveProfile(5, "sixth", "n5", 0);
    SaveProfileCount(0);
    EXPECT_EQ(CProfileMngr().GetCount(), 0u);  // "NumOfProfiles" 0 loads nothing
    SaveProfileCount(2);
    {
        CProfileMngr store;
        ASSERT_EQ(store.GetCount(), 2u);
        EXPECT_EQ(store.Get("first")->Priority, -1);  // not a member
        EXPECT_EQ(store.Get("sixth")->Section, "Profile 5");
        EXPECT_EQ(store.GetAutoSelectCount(), 1);
        EXPECT_EQ(store.Get("EditStation"), nullptr);
        EXPECT_EQ(store.Get("ConnectedStation"), nullptr);
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
    SaveProfileCount(4);
    CProfileMngr store;
    std::vector<std::string> order;
    for (int i = 0; i < 4; ++i)
        order.push_back(store.NextAutoSelect()->ProfName);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "a"}));
    store.SetCurrent(nullptr, true);
    EXPECT_EQ(store.NextAutoSelect()->ProfName, "a");

    store.Remove("d", true, false);
    EXPECT_EQ(store.GetAutoSelectCount(), 3);
    store.SetCurrent(store.Get("a"), false);
    store.Remove("a", true, true);
    EXPECT_EQ(store.GetCurrent(), nullptr);  // removing the current one clears it
    EXPECT_EQ(store.GetAutoSelectCount(), 2);
    EXPECT_EQ(store.Get("b")->Priority, 0);
    EXPECT_EQ(store.FindByPriority(1), store.Get("c"));
    EXPECT_FALSE(KeyExists("Profile 0"));
    EXPECT_EQ(store.UpdatePriorities(-1), 2);  // allocates the next slot
}

TEST_F(ProfileMngrTest, NewRecordsNeverShareASection)
{
    CProfileMngr store;
    store.Rename(store.AddNew(nullptr), "Home");  // keeps section "Profile 0"
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
    EXPECT_EQ(store.Get(store.AddNew(&station))->PhyChnl, 9);
}

// A record without a section would name the application key itself; an
// export without the privilege fails without a message of its own.
TEST_F(ProfileMngrTest, ExportsThatCannotBeMadeAndARemovalThatTouchesOnlyItsOwnKey)
{
    ktest::TempDir dir;
    ktest::RecordingMessageSink messages;
    SaveProfile(0, "Alpha", "na", 0);
    SaveProfileCount(1);
    CProfileMngr store;
    platform::set_privilege_failure_for_testing(1300);
    EXPECT_FALSE(store.RegOp(CProfileMngr::RegExportAll, dir.File("p.reg"), nullptr));
    platform::set_privilege_failure_for_testing(0);
    EXPECT_FALSE(store.RegOp(CProfileMngr::RegExportOne, dir.File("x.reg"), "nobody"));

    store.Get("Alpha")->Section.clear();
    EXPECT_FALSE(store.RegOp(CProfileMngr::RegExportOne, dir.File("a.reg"), "Alpha"));
    store.Remove("Alpha", true, true);
    EXPECT_TRUE(KeyExists("Profile 0"));
    EXPECT_EQ(app().GetProfileString("", "ProfName", "absent"), "absent");
    EXPECT_EQ(app().GetProfileInt("", kNumOfProfiles, -1), 1);
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
} // namespace kestrow
