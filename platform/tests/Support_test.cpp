// System message texts and token privileges.
#include <gtest/gtest.h>

#include "platform/Privilege.h"
#include "platform/SystemMessage.h"
#include "platform/Win32Error.h"

namespace {

using namespace platform;

TEST(SystemMessageTest, TextsAsWindowsWordsThem)
{
    EXPECT_EQ(system_message(kErrorFileNotFound), "The system cannot find the file specified.");
    EXPECT_FALSE(has_system_message(4242));
    EXPECT_EQ(system_message(4242), "Unknown error 4242.");
}

TEST(PrivilegeTest, BackupAndRestoreAreGrantedAndTheSeamMakesThemFail)
{
    EXPECT_EQ(enable_privilege(kSeBackupPrivilege), 0u);
    EXPECT_TRUE(privilege_enabled(kSeBackupPrivilege));
    EXPECT_EQ(enable_privilege(kSeRestorePrivilege), 0u);
    EXPECT_EQ(enable_privilege("SeShutdownPrivilegeTypo"), kErrorNoSuchPrivilege);
    EXPECT_EQ(disable_all_privileges(), 0u);
    EXPECT_FALSE(privilege_enabled(kSeBackupPrivilege));
    EXPECT_FALSE(privilege_enabled(kSeRestorePrivilege));

    set_privilege_failure_for_testing(kErrorNotAllAssigned);
    EXPECT_EQ(enable_privilege(kSeBackupPrivilege), kErrorNotAllAssigned);
    EXPECT_FALSE(privilege_enabled(kSeBackupPrivilege));
    set_privilege_failure_for_testing(0);
    EXPECT_EQ(enable_privilege(kSeBackupPrivilege), 0u);
    EXPECT_EQ(disable_all_privileges(), 0u);
}

} // namespace
