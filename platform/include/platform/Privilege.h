// Token privileges of the process, as the profile export and import use
// them: enable "SeBackupPrivilege" or "SeRestorePrivilege" before a key is
// saved or restored, disable them all afterwards.
//
// The registry here is a file of the user's own, so the two privileges are
// always granted; the calls stay so that the program's flow (and its failure
// paths) stay the same.  Tests can make the calls fail.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

inline constexpr std::string_view kSeBackupPrivilege = "SeBackupPrivilege";
inline constexpr std::string_view kSeRestorePrivilege = "SeRestorePrivilege";

// Opens the process token, looks the privilege up by name and enables it.
// 0 on success; 1313 (no such privilege) for an unknown name; the injected
// code while a failure is injected.
std::uint32_t enable_privilege(std::string_view name);

// Disables every privilege of the process token.  0, or the injected code.
std::uint32_t disable_all_privileges();

// Whether the privilege is enabled now (false for an unknown name).
bool privilege_enabled(std::string_view name);

// Test seam: while `code` is not 0 every enable and disable call fails with
// it.  1300 (not all assigned) plays the case where the adjustment "worked"
// but left a non-zero last error.
void set_privilege_failure_for_testing(std::uint32_t code);

} // namespace platform
