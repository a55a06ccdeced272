#include "KestrowApp.h"

#include "Preferences.h"

#include <platform/NamedMutex.h>
#include <platform/Registry.h>
#include <platform/Win32Error.h>

#include <optional>
#include <system_error>

#include "DebugLog.h"
#include "DeviceOps.h"
#include "DeviceWorker.h"
#include "IMainWindow.h"
#include "Poll.h"
#include "ProfileMngr.h"
#include "SectionLock.h"
#include "Station.h"
#include "StationMngr.h"
#include "StatusReader.h"
#include "StringTable.h"
#include "SurveyTable.h"
#include "WirelessService.h"

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

CKestrowApp::~CKestrowApp()
{
    Shutdown();
}

void CKestrowApp::SetAdapterChoice(std::string name)
{
    std::lock_guard<std::mutex> lock(m_ChoiceMutex);
    m_strAdapterChoice = std::move(name);
}

std::string CKestrowApp::AdapterChoice() const
{
    std::lock_guard<std::mutex> lock(m_ChoiceMutex);
    return m_strAdapterChoice;
}

bool CKestrowApp::ConnectDriver()
{
    bool connected = false;
    const std::string choice = AdapterChoice();
    try {
        connected = CurrentDeviceOps().connect(choice.empty() ? "SEARCH" : choice.c_str()) == 0;
    } catch (...) {
        DebugWrite("\nConnectDriver Exception Occured");
        connected = false;
    }
    m_bConnected.store(connected);
    NoteAdapter(connected);
    return connected;
}

void CKestrowApp::NoteAdapter(bool found)
{
    std::lock_guard<std::mutex> lock(m_AdapterMutex);
    const kestrow::AdapterState state = m_AdapterState.load();
    if (found) {
        if (state == AdapterState::Removed) {
            m_ReturnedAt = std::chrono::steady_clock::now();
            m_AdapterState.store(AdapterState::Returned);
        } else if (state == AdapterState::NotFound) {
            m_AdapterState.store(AdapterState::Present);
        }
    } else if (state == AdapterState::Present || state == AdapterState::Returned) {
        m_AdapterState.store(AdapterState::Removed);
    }
}

void CKestrowApp::CheckAdapter()
{
    if (m_bConnected.load())
        (void)ConnectDriver();
}

void CKestrowApp::AgeAdapterState()
{
    std::lock_guard<std::mutex> lock(m_AdapterMutex);
    if (m_AdapterState.load() == AdapterState::Returned &&
        std::chrono::steady_clock::now() - m_ReturnedAt >= kReturnedShownFor)
        m_AdapterState.store(AdapterState::Present);
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

bool CKestrowApp::EnterSection(Section which)
{
    const bool main = which == Section::Main;
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

void CKestrowApp::LeaveSection(Section which)
{
    const bool main = which == Section::Main;
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

bool CKestrowApp::InProfileTransaction(const std::function<bool()> &work)
{
    platform::Registry *registry = platform::Registry::current_user();
    if (registry == nullptr)
        return work();
    bool ok = false;
    const std::uint32_t error = registry->transact([&]() -> std::uint32_t {
        ok = work();
        return ok ? platform::kErrorSuccess : platform::kErrorCantWrite;
    });
    return ok && error == platform::kErrorSuccess;
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

// ---- Start-up, shutdown and the main timer routine ------------------------------

namespace {
// Start-up and shutdown wait this long for a polling tick to leave the main
// lock; a tick holds it for one batch of device requests.
constexpr std::chrono::milliseconds kLifecycleLockWait{30000};
} // namespace

void CKestrowApp::SetProfileMngr(std::unique_ptr<CProfileMngr> store)
{
    // The station list refers to the store it was made with.
    m_pStationMngr.reset();
    m_pProfileMngr = std::move(store);
}

void CKestrowApp::SetStationMngr(std::unique_ptr<CStationMngr> stations)
{
    if (m_pProfileMngr != nullptr)
        m_pProfileMngr->SetStationList(stations.get());
    m_pStationMngr = std::move(stations);
}

void CKestrowApp::SetPoll(std::unique_ptr<CPoll> poll)
{
    m_pPoll = std::move(poll);
}

CStatusReader &CKestrowApp::StatusReader()
{
    if (!m_pStatusReader)
        m_pStatusReader = std::make_unique<CStatusReader>(*this);
    return *m_pStatusReader;
}

bool CKestrowApp::Startup()
{
    CreateWorkers();
    return StartupParts();
}

bool CKestrowApp::StartupParts()
{
    if (m_bStarted)
        return m_pPoll != nullptr;
    m_bStarted = true;

    // 1. A failed connect is not reported: every request tries again.
    SetAdapterChoice(CPreferences::ReadAdapter(*this));
    (void)ConnectDriver();
    // 2.
    m_bAdHocConnected.store(false);
    // 3. The operating system's wireless service would fight over the
    //    adapter; its failure to stop is reported by the call and ignored.
    //    The stop waits for the service to report it has stopped, which takes
    //    seconds, so it runs on its own thread: the window comes up meanwhile
    //    and the polling thread starts its ticks only after the stop.
    try {
        m_ServiceStop = std::async(std::launch::async, [] {
            (void)StopServiceByName("wzcsvc");
        }).share();
    } catch (const std::system_error &) {
        (void)StopServiceByName("wzcsvc");
    }
    // 4.
    m_hPollStopped = std::make_unique<std::binary_semaphore>(0);
    // 5. The main window pointer starts null with the object; it is not
    //    cleared here, since the window may already be set while start-up
    //    runs beside it on the refresh worker.
    // 6.
    auto poll = std::make_unique<CPoll>(*this);
    poll->SetTiming(m_PollStartDelay, m_PollPeriod);
    // 7. (Made already when start-up runs beside the window.)
    const bool lockCreated = HasMainLock() || CreateMainLock();
    // 8. Without the main lock the polling thread could not keep off the
    //    managers: the program then runs without it.
    bool pollRunning = false;
    if (lockCreated) {
        m_pPoll = std::move(poll);
        pollRunning = m_pPoll->Start();
        if (!pollRunning)
            m_pPoll.reset();
    }
    if (!pollRunning)
        DebugWrite("\nAssertion: the polling thread could not be started");
    // 9. The managers are published under the main lock, which the polling
    //    thread holds whenever it uses them.
    std::optional<CSectionLock> lock;
    if (lockCreated)
        lock.emplace(*this, Section::Main, kLifecycleLockWait);
    SetProfileMngr(std::make_unique<CProfileMngr>());
    SetStationMngr(std::make_unique<CStationMngr>(*this, *m_pProfileMngr));
    return pollRunning;
}

void CKestrowApp::CreateWorkers()
{
    // The window's commands run on the device worker, its refreshes on
    // their own.
    if (!m_pWorker)
        m_pWorker = std::make_unique<CDeviceWorker>();
    if (!m_pRefreshWorker)
        m_pRefreshWorker = std::make_unique<CDeviceWorker>();
}

void CKestrowApp::StartupAsync(std::function<void(bool)> done)
{
    CreateWorkers();
    // The workers and the main lock's gate are made here, on this thread,
    // and left alone by the start-up that runs on the worker: the window
    // takes the lock (try form) meanwhile.
    (void)CreateMainLock();
    (void)m_pRefreshWorker->Post([this, done = std::move(done)] {
        const bool pollRunning = StartupParts();
        if (done)
            done(pollRunning);
    });
}

void CKestrowApp::Shutdown()
{
    // A start-up or a main timer routine under way finishes, a command on
    // the device worker too; those not started are dropped.
    m_pRefreshWorker.reset();
    m_pWorker.reset();
    m_bRefreshQueued.store(false);
    m_RefreshParts.store(0);
    if (!m_bStarted)
        return;
    m_bStarted = false;
    // 1.-3. With the main lock held no tick can be inside the station list
    //    or the profile store; the thread is stopped and waited for.
    {
        std::optional<CSectionLock> lock;
        if (m_hMainMutex != nullptr)
            lock.emplace(*this, Section::Main, kLifecycleLockWait);
        if (m_pPoll != nullptr) {
            m_pPoll->Stop();
            if (m_hPollStopped)
                m_hPollStopped->acquire();
            m_pPoll.reset();
        }
        m_hPollStopped.reset();
    }
    WaitForServiceStop();
    m_ServiceStop = {};

    // 4. The station list first (it writes the connected key), then the
    //    profile store, which saves every profile as it goes.
    m_pStatusReader.reset();
    m_pStationMngr.reset();
    m_pProfileMngr.reset();
    // 5.
    DisconnectDriver();
}

void CKestrowApp::WaitForServiceStop() const
{
    if (m_ServiceStop.valid())
        m_ServiceStop.wait();
}

void CKestrowApp::OnMainTimer(CRefreshRequest parts)
{
    CSectionLock lock(*this, Section::Main);
    if (!lock)
        return;
    if (m_pMainWnd.load() == nullptr && !m_bKeepRefresh.load())
        return;
    CPageRefresh out;
    out.full = m_bFullRefresh.exchange(false);
    if (out.full && m_pStationMngr != nullptr && !m_pStationMngr->UpdateFromScan())
        m_bScanActive.store(false);
    // The requests go out in the pages' order: the active page, then on a
    // full refresh the About page when it is shown.
    CStatusReader &reader = StatusReader();
    if (parts.general) {
        reader.ReadGeneral(m_Status);
        out.generalRead = true;
    }
    if (parts.statistics)
        out.statisticsRead = reader.ReadStatistics(m_Status);
    if (parts.about || (out.full && parts.aboutOnFull)) {
        reader.ReadAbout(m_Status);
        out.aboutRead = true;
    }
    if (out.full && parts.siteList && m_pStationMngr != nullptr)
        out.siteRows = CSurveyTable::Rows(*m_pStationMngr, /*networkView*/ false, 0, true);
    out.status = m_Status;
    // The link as the station list knows it: no request of its own.
    const CStation *connected = m_pStationMngr != nullptr ? m_pStationMngr->GetConnectedStation() : nullptr;
    out.link.connected = connected != nullptr;
    if (connected != nullptr) {
        out.link.ssid = connected->NetName;
        out.link.signalDbm = connected->LinkQuality;
    }
    lock.Unlock();
    out.adapter = AdapterState();
    out.link.adapter = out.adapter;
    out.link.scanActive = ScanActive();
    {
        std::lock_guard<std::mutex> history(m_HistoryMutex);
        m_History.Add({out.link.connected ? out.link.signalDbm : std::nullopt, RxKBps(), TxKBps()});
        if (parts.statistics)
            out.history = m_History.Samples();
    }
    if (out.history)
        out.historyDbm = CPreferences::ShowDbm(*this);

    // The window may be going: SetMainWindow waits for this hand-over.
    std::lock_guard<std::mutex> windowLock(m_TipMutex);
    const bool keep = m_bKeepRefresh.exchange(false);
    if (IMainWindow *window = m_pMainWnd.load())
        window->ShowRefresh(std::move(out));
    else if (keep)
        m_KeptRefresh = std::move(out);
}

std::vector<CLinkSample> CKestrowApp::HistorySamples() const
{
    std::lock_guard<std::mutex> lock(m_HistoryMutex);
    return m_History.Samples();
}

void CKestrowApp::ClearHistory()
{
    std::lock_guard<std::mutex> lock(m_HistoryMutex);
    m_History.Clear();
}

void CKestrowApp::PumpRefresh()
{
    if (!m_bRefreshPending.exchange(false))
        return;
    if (IMainWindow *window = m_pMainWnd.load())
        RequestRefresh(window->VisibleParts());
}

void CKestrowApp::RequestRefresh(CRefreshRequest parts)
{
    m_RefreshParts.fetch_or(parts.Bits());
    if (m_bRefreshQueued.exchange(true))
        return;  // the queued routine takes these parts too
    auto routine = [this] {
        // Parts first, flag second: a request in between posts another
        // routine rather than adding to one that has already read its parts.
        const unsigned bits = m_RefreshParts.exchange(0);
        m_bRefreshQueued.store(false);
        OnMainTimer(CRefreshRequest::FromBits(bits));
    };
    if (m_pRefreshWorker == nullptr) {
        routine();
        return;
    }
    if (!m_pRefreshWorker->Post(std::move(routine)))
        m_bRefreshQueued.store(false);
}

void CKestrowApp::RequestFirstRefresh(CRefreshRequest parts)
{
    m_bKeepRefresh.store(true);
    RequestRefresh(parts);
}

void CKestrowApp::SetWakeCallback(std::function<void()> wake)
{
    std::lock_guard<std::mutex> lock(m_WakeMutex);
    m_Wake = std::move(wake);
}

void CKestrowApp::WakeUserInterface()
{
    // Called with the lock held, so that a callback being removed is not
    // running any more once SetWakeCallback returns.
    std::lock_guard<std::mutex> lock(m_WakeMutex);
    if (m_Wake)
        m_Wake();
}

void CKestrowApp::SetMainWindow(IMainWindow *window)
{
    std::lock_guard<std::mutex> lock(m_TipMutex);
    m_pMainWnd.store(window);
    if (window != nullptr && !m_strTip.empty())
        window->SetTrayTip(m_strTip);
    if (window != nullptr && m_KeptRefresh) {
        window->ShowRefresh(std::move(*m_KeptRefresh));
        m_KeptRefresh.reset();
    }
}

void CKestrowApp::UpdateTip(bool connected, const std::string &ssid)
{
    CStatusSnapshot state;
    state.connected = connected;
    state.ssid = ssid;
    std::string tip = state.TipText();
    std::lock_guard<std::mutex> lock(m_TipMutex);
    if (tip == m_strTip)
        return;  // the window has it already
    m_strTip = std::move(tip);
    if (IMainWindow *window = m_pMainWnd.load())
        window->SetTrayTip(m_strTip);
}

std::string CKestrowApp::GetTip() const
{
    std::lock_guard<std::mutex> lock(m_TipMutex);
    return m_strTip;
}

void CKestrowApp::SetPollTiming(std::chrono::milliseconds startDelay, std::chrono::milliseconds period)
{
    m_PollStartDelay = startDelay;
    m_PollPeriod = period;
}

void CKestrowApp::SignalPollStopped()
{
    // An auto-reset event that is already signalled stays signalled once.
    if (m_hPollStopped) {
        (void)m_hPollStopped->try_acquire();
        m_hPollStopped->release();
    }
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
