#include "KestrowApp.h"

#include <platform/NamedMutex.h>
#include <platform/Registry.h>
#include <platform/Win32Error.h>

#include "DebugLog.h"
#include "DeviceOps.h"

namespace kestrow {

// ---- CriticalSection --------------------------------------------------------

void CKestrowApp::CriticalSection::Enter()
{
    m_mutex.lock();
    m_owner.store(std::this_thread::get_id());
    ++m_depth;
}

bool CKestrowApp::CriticalSection::Leave()
{
    if (m_owner.load() != std::this_thread::get_id())
        return false;
    if (--m_depth == 0)
        m_owner.store(std::thread::id{});
    m_mutex.unlock();
    return true;
}

// ---- CKestrowApp --------------------------------------------------------------

CKestrowApp::CKestrowApp() = default;

CKestrowApp::~CKestrowApp() = default;

bool CKestrowApp::ConnectDriver()
{
    bool connected = false;
    try {
        connected = CurrentDeviceOps().connect("SEARCH") == 0;
    } catch (...) {
        DebugWrite("\nConnectDriver Exception Occured");
        connected = false;
    }
    m_bConnected.store(connected);
    return connected;
}

void CKestrowApp::DisconnectDriver()
{
    if (m_bConnected.load()) {
        try {
            (void)CurrentDeviceOps().disconnect();  // always 0
        } catch (...) {
            DebugWrite("\nDisconnectDriver Exception Occured");
        }
    }
    m_bConnected.store(false);
}

bool CKestrowApp::CreateMainLock()
{
    auto gate = std::make_unique<platform::NamedMutex>(kMainGateName);
    if (!gate->valid()) {
        DebugTrace("\nAssertion: gate %s could not be created", kMainGateName);
        return false;
    }
    m_hMainMutex = std::move(gate);
    return true;
}

bool CKestrowApp::CreateStatsLock()
{
    auto gate = std::make_unique<platform::NamedMutex>(kStatsGateName);
    if (!gate->valid()) {
        DebugTrace("\nAssertion: gate %s could not be created", kStatsGateName);
        return false;
    }
    m_hStatsMutex = std::move(gate);
    return true;
}

bool CKestrowApp::EnterSection(int which)
{
    if (which != SECTION_MAIN && which != SECTION_STATS)
        return false;
    const bool main = which == SECTION_MAIN;
    platform::NamedMutex *gate = main ? m_hMainMutex.get() : m_hStatsMutex.get();
    CriticalSection &section = main ? m_Section : m_StatsSection;

    // Test and set in one step, so two threads cannot both find it free.
    if (main && m_bMainBusy.exchange(true))
        return false;

    const platform::WaitResult result =
        gate != nullptr ? gate->wait(0) : platform::WaitResult::Failed;
    if (result == platform::WaitResult::Signaled) {
        DebugTrace("\nEnter %s", main ? "CS_MAIN" : "CS_STATS");
        section.Enter();
        if (!gate->release())
            DebugWrite("\nAssertion: the lock gate could not be released");
        return true;
    }
    if (result == platform::WaitResult::Abandoned) {
        // An abandoned gate is handed over owned; give it back so that it is
        // not kept held by a caller that did not get the lock.
        (void)gate->release();
    }
    if (main)
        m_bMainBusy.store(false);
    return false;
}

void CKestrowApp::LeaveSection(int which)
{
    if (which != SECTION_MAIN && which != SECTION_STATS)
        return;
    const bool main = which == SECTION_MAIN;
    CriticalSection &section = main ? m_Section : m_StatsSection;
    if (!section.Leave()) {
        DebugTrace("\nLeaveSection %s by a thread that does not hold it", main ? "CS_MAIN" : "CS_STATS");
        return;
    }
    if (main)
        m_bMainBusy.store(false);
}

std::string CKestrowApp::AppKeyPath()
{
    return std::string("Software\\") + kRegistryKey + "\\" + kAppName;
}

std::string CKestrowApp::SectionKeyPath(std::string_view section)
{
    std::string path = AppKeyPath();
    if (!section.empty()) {
        path += '\\';
        path += section;
    }
    return path;
}

int CKestrowApp::GetProfileInt(std::string_view section, std::string_view entry, int defaultValue) const
{
    platform::Registry *registry = platform::Registry::current_user();
    if (registry == nullptr)
        return defaultValue;
    std::uint32_t value = 0;
    if (registry->query_dword(SectionKeyPath(section), entry, &value) != platform::kErrorSuccess)
        return defaultValue;
    return static_cast<int>(value);
}

bool CKestrowApp::WriteProfileInt(std::string_view section, std::string_view entry, int value)
{
    platform::Registry *registry = platform::Registry::current_user();
    if (registry == nullptr)
        return false;
    const std::uint32_t error =
        registry->set_dword(SectionKeyPath(section), entry, static_cast<std::uint32_t>(value));
    if (error != platform::kErrorSuccess) {
        DebugTrace("\nWriteProfileInt failed: %u", error);
        return false;
    }
    return true;
}

std::string CKestrowApp::GetProfileString(std::string_view section, std::string_view entry,
                                          std::string_view defaultValue) const
{
    platform::Registry *registry = platform::Registry::current_user();
    if (registry == nullptr)
        return std::string(defaultValue);
    std::string value;
    if (registry->query_string(SectionKeyPath(section), entry, &value) != platform::kErrorSuccess)
        return std::string(defaultValue);
    return value;
}

bool CKestrowApp::WriteProfileString(std::string_view section, std::string_view entry,
                                     std::string_view value)
{
    platform::Registry *registry = platform::Registry::current_user();
    if (registry == nullptr)
        return false;
    const std::uint32_t error = registry->set_string(SectionKeyPath(section), entry, value);
    if (error != platform::kErrorSuccess) {
        DebugTrace("\nWriteProfileString failed: %u", error);
        return false;
    }
    return true;
}

// ---- The application object ---------------------------------------------------

namespace {

std::unique_ptr<CKestrowApp> &AppHolder()
{
    static std::unique_ptr<CKestrowApp> app = std::make_unique<CKestrowApp>();
    return app;
}

} // namespace

CKestrowApp &theApp()
{
    return *AppHolder();
}

void ResetTheApp()
{
    AppHolder() = std::make_unique<CKestrowApp>();
}

} // namespace kestrow
