#include "CoreTest.h"

#include <algorithm>
#include <cstdlib>

#include "Profile.h"
#include "ProfileMngr.h"
#include "RegistryDump.h"
#include "TempDir.h"

namespace kestrow::test {

namespace {

// Every test program gets its own registry file and runtime directory (for
// the named gates), so that test programs running side by side never meet.
class PrivateDirsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.Path().empty()) << "cannot create a temporary directory";
        setenv("XDG_RUNTIME_DIR", dir_.Subdir("runtime").c_str(), 1);
        setenv("KESTROW_REGISTRY", dir_.File("registry.sqlite3").c_str(), 1);
    }

private:
    ktest::TempDir dir_;
};

[[maybe_unused]] ::testing::Environment *const g_private_dirs =
    ::testing::AddGlobalTestEnvironment(new PrivateDirsEnvironment);

} // namespace

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
