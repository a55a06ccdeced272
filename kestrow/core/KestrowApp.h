// CKestrowApp: the application object without its windows.  It owns the
// profile store, the station list and the polling thread, and holds the
// driver connection state, the two locks that the user-interface thread and
// the polling thread share, the refresh flags, the statistics area and the
// application's registry profile functions.  Its state is private; the
// front ends reach it through the operations (see README.md) and the
// accessors below.  The locks are taken through CSectionLock only.
//
// Flags that one thread writes and the other reads are std::atomic.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "AdapterState.h"
#include "LinkHistory.h"
#include "PageRefresh.h"
#include "StatusSnapshot.h"

namespace platform {
class NamedMutex;
}

namespace kestrow {

class CProfileMngr;
class CStationMngr;
class CStation;
class CPoll;
class CDeviceWorker;
class CStatusReader;
class IMainWindow;

// Which lock EnterSection and LeaveSection work on.
enum class Section { Main, Stats };

class CKestrowApp {
public:
    // Identity: every profile value lives under
    // HKEY_CURRENT_USER\Software\<registry key>\<application name>.
    static constexpr const char *kAppName = "Configuration Utility";
    static constexpr const char *kRegistryKey = "Dovrel";
    static constexpr const char *kMainGateName = "MutexToProtectm_Section";
    static constexpr const char *kStatsGateName = "MutexToProtectm_StatsSection";

    CKestrowApp();
    virtual ~CKestrowApp();
    CKestrowApp(const CKestrowApp &) = delete;
    CKestrowApp &operator=(const CKestrowApp &) = delete;

    // ecom_connect("SEARCH"), or of the adapter chosen in the preferences
    // (SetAdapterChoice); sets and returns m_bConnected.  A failure or an
    // exception of the library leaves the program disconnected.  A chosen
    // adapter that is not there is not replaced by another one.
    bool ConnectDriver();
    // The adapter ConnectDriver opens: a name of the library's adapter
    // list, or empty to search.  Start-up reads it from the preferences.
    void SetAdapterChoice(std::string name);
    std::string AdapterChoice() const;
    // ecom_disconnect when connected; m_bConnected becomes false.
    void DisconnectDriver();

    // Creates the gate of the main lock ("MutexToProtectm_Section"); start-up
    // does this.  False when the gate cannot be set up.
    bool CreateMainLock();
    // Creates the gate of the statistics lock; the polling thread does this
    // when it starts.
    bool CreateStatsLock();

    // Takes lock `which`.  Callers use CSectionLock, never these two directly.
    // The main lock is a
    // try-lock: false at once while it is held or being taken, by any thread
    // including the holder's own.  The statistics lock fails only while
    // another thread passes its gate at that moment (or another process holds
    // the gate) and otherwise waits for the holder to leave.  False also when
    // the lock's gate was not created.
    bool EnterSection(Section which);
    // Leaves lock `which`; for the main lock the busy flag is cleared.  A
    // thread that does not hold the lock changes nothing.
    void LeaveSection(Section which);

    // The application's profile functions: values of `section` (a subkey of
    // the application key; empty: the application key itself).
    int GetProfileInt(std::string_view section, std::string_view entry, int defaultValue) const;
    bool WriteProfileInt(std::string_view section, std::string_view entry, int value);
    std::string GetProfileString(std::string_view section, std::string_view entry,
                                 std::string_view defaultValue) const;
    bool WriteProfileString(std::string_view section, std::string_view entry, std::string_view value);
    // Runs `work` (a series of profile writes) in one registry transaction,
    // so its values become durable together or not at all.  Without a
    // registry the work still runs and its profile functions report failure.
    bool InProfileTransaction(const std::function<bool()> &work);

    // "Software\Dovrel\Configuration Utility", the application key below
    // HKEY_CURRENT_USER, and the key of a section (the application key
    // itself for an empty section).
    static std::string AppKeyPath();
    static std::string SectionKeyPath(std::string_view section);

    // ---- Start-up, shutdown and the main timer routine ----------------------
    // Start-up without the window: connects to the adapter, stops the
    // operating system's wireless service, starts the polling thread and
    // creates the profile store and the station list.  False when the
    // polling thread could not be started (the program then runs without it).
    bool Startup();
    // Start-up on the refresh worker, so that the window builds its pages
    // meanwhile; the main timer routines asked for after this run after it
    // (one worker, in order).  `done` runs on the worker once start-up is
    // over, with Startup's result.  Call on the user-interface thread.
    void StartupAsync(std::function<void(bool)> done = {});
    // Stops the polling thread (waiting for a tick in progress), deletes the
    // station list and the profile store (which saves every profile), and
    // disconnects.  Does nothing when not started.  A start-up still running
    // on the refresh worker finishes first.
    void Shutdown();
    // The main timer routine, the device part: takes the main lock (try
    // form: nothing when busy); on a full refresh rebuilds the station list
    // from the scan; reads what `parts` names through the status reader and,
    // on a full refresh with the Available Networks dialog shown, builds its
    // rows; then hands the values to the main window (ShowRefresh).  Runs on
    // the refresh worker (RequestRefresh) or on the caller's thread (tests,
    // kestrowctl); never on the user-interface thread of the window.
    void OnMainTimer(CRefreshRequest parts = {});
    // User-interface thread, when woken: when the polling thread has ticked
    // since the last time, asks for a refresh of what the window shows.
    void PumpRefresh();
    // User-interface thread: queues one main timer routine on the refresh
    // worker and returns at once.  While one is queued and not started, a
    // second request only adds its parts to it, so requests never pile up
    // behind a slow adapter.  Without a worker (no start-up) it runs at once.
    void RequestRefresh(CRefreshRequest parts);
    // User-interface thread, before its main window is set: queues a main
    // timer routine for `parts` as RequestRefresh does, and keeps its values
    // when no window is set yet by the time they are read; SetMainWindow
    // hands them to the window.  The window's first values are so read
    // while the window is being built, instead of after.
    void RequestFirstRefresh(CRefreshRequest parts);
    // A refresh is queued and has not started yet.
    bool RefreshQueued() const { return m_bRefreshQueued.load(); }
    // Whether the main lock is held or being taken, read without touching
    // it (a try-lock to find out would itself keep others out).
    bool MainLockHeld() const { return m_bMainBusy.load(); }
    // The function the polling thread calls after each tick to wake the
    // user-interface thread (it must only queue work for that thread).  An
    // empty function removes it; once this returns the old one is not
    // running any more.
    void SetWakeCallback(std::function<void()> wake);
    // Polling thread: sets nothing, only calls the wake callback.
    void WakeUserInterface();
    // The main window (null when there is none).  Once SetMainWindow returns
    // the previous window is no longer used by any thread.
    void SetMainWindow(IMainWindow *window);
    IMainWindow *GetMainWindow() const { return m_pMainWnd.load(); }
    // Sets m_strTip to the tooltip of the connection state the General page
    // shows: connected to `ssid` (its text as the page shows it), or not
    // connected; and hands it to the main window.  Called by the polling
    // thread.
    void UpdateTip(bool connected, const std::string &ssid);
    // m_strTip, read safely from any thread.
    std::string GetTip() const;
    // Start delay and tick period of the polling thread created by Startup
    // (tests shorten them).
    void SetPollTiming(std::chrono::milliseconds startDelay, std::chrono::milliseconds period);
    // The polling thread signals its end through m_hPollStopped.
    void SignalPollStopped();
    // Waits until the stop of the system's wireless service that start-up
    // began has finished (at once when none is under way).  The polling
    // thread calls it before its first tick; any thread may.
    void WaitForServiceStop() const;

    // ---- Owned parts ---------------------------------------------------------
    // Null outside start-up..shutdown (and in kestrowctl until a command
    // needs them).  Replacing one destroys the previous one; replacing the
    // store destroys the station list too (it refers to the store), and a
    // new station list is made known to the store.
    CProfileMngr *ProfileMngr() const { return m_pProfileMngr.get(); }
    CStationMngr *StationMngr() const { return m_pStationMngr.get(); }
    CPoll *Poll() const { return m_pPoll.get(); }
    void SetProfileMngr(std::unique_ptr<CProfileMngr> store);
    void SetStationMngr(std::unique_ptr<CStationMngr> stations);
    void SetPoll(std::unique_ptr<CPoll> poll);
    // The reader of the status pages' values, made on first use (its
    // variables read once then).  Used under the main lock.
    CStatusReader &StatusReader();
    // The device worker that runs the window's commands; null when there is
    // none (kestrowctl, tests without start-up): work then runs at once.
    CDeviceWorker *Worker() const { return m_pWorker.get(); }
    bool HasMainLock() const { return m_hMainMutex != nullptr; }
    bool HasStatsLock() const { return m_hStatsMutex != nullptr; }

    // ---- Shared state ------------------------------------------------------
    bool DriverConnected() const { return m_bConnected.load(); }
    void SetDriverConnected(bool connected) { m_bConnected.store(connected); }
    // Whether there is an adapter, as the window shows it.  ConnectDriver
    // keeps it: NotFound until an adapter is first opened (then Present);
    // Removed when opening it again fails after it was open; Returned when
    // it opens after that, which AgeAdapterState turns into Present once
    // kReturnedShownFor has passed (or the next change replaces it).
    kestrow::AdapterState AdapterState() const { return m_AdapterState.load(); }
    void SetAdapterState(kestrow::AdapterState state) { m_AdapterState.store(state); }
    static constexpr std::chrono::seconds kReturnedShownFor{10};
    // A request of the open adapter failed: opens it again (the polling
    // thread), which tells whether it is still there.
    void CheckAdapter();
    // Returned becomes Present after kReturnedShownFor.  Polling thread.
    void AgeAdapterState();
    // The link's history, one sample per main timer routine (the refresh
    // worker adds them); cleared with the statistics.
    std::vector<CLinkSample> HistorySamples() const;
    void ClearHistory();
    bool AdHocConnected() const { return m_bAdHocConnected.load(); }
    void SetAdHocConnected(bool adhoc) { m_bAdHocConnected.store(adhoc); }
    // -1 silences every polling tick.
    std::int32_t StatsIndex() const { return m_nStatsIndex.load(); }
    void SetStatsIndex(std::int32_t index) { m_nStatsIndex.store(index); }
    // Current throughput in KB/sec.
    std::int32_t RxKBps() const { return m_nRxKBps.load(); }
    std::int32_t TxKBps() const { return m_nTxKBps.load(); }
    void SetThroughput(std::int32_t rx, std::int32_t tx)
    {
        m_nRxKBps.store(rx);
        m_nTxKBps.store(tx);
    }
    bool ScanActive() const { return m_bScanActive.load(); }
    void SetScanActive(bool active) { m_bScanActive.store(active); }
    // The full-refresh flag: set by anyone, taken by the main timer routine.
    void RequestFullRefresh() { m_bFullRefresh.store(true); }
    bool FullRefreshRequested() const { return m_bFullRefresh.load(); }
    bool TakeFullRefresh() { return m_bFullRefresh.exchange(false); }
    // Set by the polling thread before it wakes the user interface.
    void SetRefreshPending() { m_bRefreshPending.store(true); }
    bool RefreshPending() const { return m_bRefreshPending.load(); }
    bool TakeRefreshPending() { return m_bRefreshPending.exchange(false); }
    // Ticks until a new connection is read back; -1 when none is due.
    std::int32_t ReadBackCountdown() const { return m_nReadBackCountdown.load(); }
    void SetReadBackCountdown(std::int32_t ticks) { m_nReadBackCountdown.store(ticks); }

private:
    // Members in the order of the original application object.
    std::atomic<bool> m_bAdHocConnected{false};
    std::atomic<bool> m_bConnected{false};
    std::atomic<kestrow::AdapterState> m_AdapterState{kestrow::AdapterState::NotFound};
    void NoteAdapter(bool found);
    // The device worker and the refresh worker, made once.
    void CreateWorkers();
    // Start-up without making the workers.
    bool StartupParts();
    std::unique_ptr<CProfileMngr> m_pProfileMngr;
    std::unique_ptr<CStationMngr> m_pStationMngr;
    std::atomic<std::int32_t> m_nStatsIndex{0};
    std::atomic<std::int32_t> m_nRxKBps{0};
    std::atomic<std::int32_t> m_nTxKBps{0};
    std::unique_ptr<platform::NamedMutex> m_hMainMutex;
    std::unique_ptr<platform::NamedMutex> m_hStatsMutex;
    std::atomic<bool> m_bScanActive{false};
    std::atomic<bool> m_bFullRefresh{false};
    std::atomic<bool> m_bRefreshPending{false};
    std::atomic<std::int32_t> m_nReadBackCountdown{-1};
    std::unique_ptr<CPoll> m_pPoll;
    std::unique_ptr<CStatusReader> m_pStatusReader;
    std::unique_ptr<CDeviceWorker> m_pWorker;
    // Runs the main timer routines; apart from m_pWorker so that a refresh
    // behind a slow adapter does not hold back the user's commands.
    std::unique_ptr<CDeviceWorker> m_pRefreshWorker;
    std::atomic<unsigned> m_RefreshParts{0};     // CRefreshRequest bits asked for
    std::atomic<bool> m_bRefreshQueued{false};
    // The values of the last main timer routine; guarded by the main lock.
    CStatusSnapshot m_Status;
    std::mutex m_AdapterMutex;  // orders the adapter state's changes
    std::chrono::steady_clock::time_point m_ReturnedAt{};  // guarded by m_AdapterMutex
    std::string m_strTip;  // guarded by m_TipMutex; read it with GetTip()
    std::atomic<bool> m_bMainBusy{false};
    // Signalled (auto-reset) when the polling thread has ended.
    std::unique_ptr<std::binary_semaphore> m_hPollStopped;

    // A critical section: re-entrant for its owner, like the Windows one,
    // and knowing its owner so that a stray leave cannot unlock it.
    class CriticalSection {
    public:
        void Enter();
        bool Leave();  // false when the calling thread does not hold it
    private:
        std::recursive_mutex m_mutex;
        std::atomic<std::thread::id> m_owner{};
        int m_depth = 0;  // changed by the owner only
    };

    CriticalSection m_Section;
    CriticalSection m_StatsSection;

    bool m_bStarted = false;
    // The stop of the system's wireless service, running on its own thread
    // from start-up until it is over (it waits on the service for seconds).
    std::shared_future<void> m_ServiceStop;
    std::atomic<IMainWindow *> m_pMainWnd{nullptr};
    mutable std::mutex m_TipMutex;
    // The values of RequestFirstRefresh's routine, read before the window
    // was set (guarded by m_TipMutex), and whether that routine is pending.
    std::optional<CPageRefresh> m_KeptRefresh;
    std::atomic<bool> m_bKeepRefresh{false};
    mutable std::mutex m_ChoiceMutex;
    mutable std::mutex m_HistoryMutex;
    CLinkHistory m_History;  // guarded by m_HistoryMutex
    std::string m_strAdapterChoice;  // guarded by m_ChoiceMutex
    std::mutex m_WakeMutex;
    std::function<void()> m_Wake;  // guarded by m_WakeMutex
    std::chrono::milliseconds m_PollStartDelay{5000};
    std::chrono::milliseconds m_PollPeriod{1000};
};

// The application object.
CKestrowApp &theApp();
// Replaces the application object by a fresh one (tests).  No other thread
// may use the old one any more.
void ResetTheApp();

} // namespace kestrow
