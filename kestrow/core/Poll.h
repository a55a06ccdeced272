// CPoll: the polling thread.  After a start-up delay it ticks once per
// period on a steady clock and does the program's background work: it wakes
// the user-interface thread, tries the auto-selection profiles while the
// adapter is not connected, samples the traffic counters into throughput,
// reads a new connection back two ticks after it was made, and asks for a
// full refresh once per refresh period.
//
// The thread waits on a condition variable between ticks and never
// busy-waits.  The station list and the profile store are used only under
// the application's main lock, taken with its try-lock form: when the lock
// is busy that work is skipped for the tick.  OnTick can be run directly
// (tests do, on their own thread, without starting the thread).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "Preferences.h"

namespace kestrow {

class CKestrowApp;

class CPoll {
public:
    static constexpr std::chrono::milliseconds kStartDelay{5000};
    static constexpr std::chrono::milliseconds kTickPeriod{1000};
    static constexpr std::int32_t kDefaultPollingInterval = CPreferences::kAbsentIntervalMs;
    static constexpr std::int32_t kShortInterval = 4;               // ticks
    static constexpr std::int32_t kAutoSelectEvery = 3;             // ticks
    static constexpr std::int32_t kReadBackTicks = 2;
    // How long the read-back waits for the main lock before it is deferred.
    static constexpr std::chrono::milliseconds kReadBackLockWait{100};

    explicit CPoll(CKestrowApp &app);
    // Stops the thread when it still runs.
    ~CPoll();

    CPoll(const CPoll &) = delete;
    CPoll &operator=(const CPoll &) = delete;

    // Delays of the thread (tests shorten them).  Call before Start.
    void SetTiming(std::chrono::milliseconds startDelay, std::chrono::milliseconds period);

    // Prepares the statistics and the refresh period and starts the thread.
    // False when the thread cannot be created.
    bool Start();
    // Ends the thread and waits for it; then signals the application that
    // the polling thread has stopped.  Does nothing more when not running.
    void Stop();
    bool IsRunning() const { return m_Thread.joinable(); }

    // Prepares the state Start would (statistics reset, tick 0, countdown
    // idle, refresh period from the preference) without starting a thread:
    // for running OnTick directly.
    void Init();
    // One tick of background work.
    void OnTick();

    void ResetStats();
    void SetInterval(std::int32_t ticks) { m_nInterval.store(ticks); }
    std::int32_t GetInterval() const { return m_nInterval.load(); }
    // Scan in progress: no sampling or auto-selection, refresh on each tick.
    void BeginScan();
    // Sets the application's full-refresh flag when `flag` is true; a set
    // flag stays set until the main timer routine takes it.
    void RequestFullRefresh(bool flag);

    std::int32_t GetTick() const { return m_nTick; }

    // The clock that times the throughput samples (tests give their own).
    // Call before Start.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void SetClock(Clock clock) { m_Now = std::move(clock); }

private:
    void Run();
    enum class SampleResult { Done, ReadFailed, LockBusy };
    void AutoSelect();
    SampleResult Sample();
    void ReadBack();
    std::int32_t PollingIntervalTicks() const;

    CKestrowApp &m_App;
    std::thread m_Thread;
    std::mutex m_StopMutex;
    std::condition_variable m_StopCond;
    bool m_bStop = false;  // guarded by m_StopMutex
    std::chrono::milliseconds m_StartDelay = kStartDelay;
    std::chrono::milliseconds m_Period = kTickPeriod;

    std::atomic<std::int32_t> m_nInterval{kDefaultPollingInterval / 1000};
    // Previous totals: guarded by the statistics lock.
    std::uint32_t m_nLastTx = 0;
    std::uint32_t m_nLastRx = 0;
    std::chrono::steady_clock::time_point m_LastSampleAt{};
    bool m_bFirstSample = true;
    Clock m_Now = [] { return std::chrono::steady_clock::now(); };
    // Used by the ticking thread only.
    std::int32_t m_nTick = 0;
};

} // namespace kestrow
