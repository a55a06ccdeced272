#include "platform/Privilege.h"

#include <atomic>

#include "platform/Win32Error.h"

namespace platform {
namespace {

std::atomic<bool> g_backup_enabled{false};
std::atomic<bool> g_restore_enabled{false};
std::atomic<std::uint32_t> g_injected_failure{0};

std::atomic<bool> *flag_for(std::string_view name)
{
    if (name == kSeBackupPrivilege)
        return &g_backup_enabled;
    if (name == kSeRestorePrivilege)
        return &g_restore_enabled;
    return nullptr;
}

} // namespace

std::uint32_t enable_privilege(std::string_view name)
{
    if (const std::uint32_t failure = g_injected_failure.load(); failure != 0)
        return failure;
    std::atomic<bool> *flag = flag_for(name);
    if (flag == nullptr)
        return kErrorNoSuchPrivilege;
    flag->store(true);
    return kErrorSuccess;
}

std::uint32_t disable_all_privileges()
{
    if (const std::uint32_t failure = g_injected_failure.load(); failure != 0)
        return failure;
    g_backup_enabled.store(false);
    g_restore_enabled.store(false);
    return kErrorSuccess;
}

bool privilege_enabled(std::string_view name)
{
    const std::atomic<bool> *flag = flag_for(name);
    return flag != nullptr && flag->load();
}

void set_privilege_failure_for_testing(std::uint32_t code)
{
    g_injected_failure.store(code);
}

} // namespace platform
