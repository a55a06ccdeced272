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
    EXPECT_EQ(system_message(kErrorAccessDenied), "Access is denied.");
    EXPECT_EQ(system_message(kErrorTimeout),
              "This operation returned because the timeout period expired.");
    // Every code the platform returns has a text of its own.
    for (std::uint32_t code : {0u, 2u, 3u, 5u, 6u, 8u, 13u, 29u, 30u, 87u, 112u, 183u, 234u, 259u,
                               1009u, 1010u, 1011u, 1012u, 1013u, 1015u, 1016u, 1017u, 1018u,
                               1051u, 1053u, 1056u, 1060u, 1061u, 1062u, 1068u, 1300u, 1313u,
                               1314u, 1460u})
        EXPECT_TRUE(has_system_message(code)) << code;
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
