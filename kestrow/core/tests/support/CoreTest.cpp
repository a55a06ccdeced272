#include "CoreTest.h"

#include <algorithm>

#include "Profile.h"
#include "ProfileMngr.h"
#include "RegistryDump.h"

namespace kestrow::test {

void CoreTest::SetUp()
{
    ResetTheApp();
    ktest::DeleteRegistryTree(CKestrowApp::AppKeyPath());
    ASSERT_TRUE(app().CreateMainLock());
    ASSERT_TRUE(app().CreateStatsLock());
    fake_.Answer(0x590, {0});
}

void SaveProfile(int index, const std::string &name, const std::string &ssid, int priority, bool member)
{
    CProfile p("Profile " + std::to_string(index), false);
    p.ProfName = name;
    p.NetName = ssid;
    p.NetMode = true;
    p.PhyType = 2;
    p.AutoSelect = member;
    p.Priority = priority;
    ASSERT_TRUE(p.Save(false));
    const int count = std::max(theApp().GetProfileInt("", kNumOfProfiles, 0), index + 1);
    ASSERT_TRUE(theApp().WriteProfileInt("", kNumOfProfiles, count));
}

} // namespace kestrow::test
