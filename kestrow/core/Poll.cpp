#include "Poll.h"

#include <system_error>

#include "CommVarList.h"
#include "Conversions.h"
#include "DebugLog.h"
#include "KestrowApp.h"
#include "ProfileMngr.h"
#include "SectionLock.h"
#include "Station.h"
#include "StationMngr.h"
#include "VarCodes.h"

namespace kestrow {

CPoll::CPoll(CKestrowApp &app) : m_App(app) {}

CPoll::~CPoll()
{
    Stop();
}

void CPoll::SetTiming(std::chrono::milliseconds startDelay, std::chrono::milliseconds period)
{
    m_StartDelay = startDelay;
    m_Period = period > std::chrono::milliseconds::zero() ? period : kTickPeriod;
}

std::int32_t CPoll::PollingIntervalTicks() const
{
    return CPreferences::IntervalTicks(m_App);
}

void CPoll::Init()
{
    if (!m_App.HasStatsLock() && !m_App.CreateStatsLock())
        DebugWrite("\nAssertion: the statistics lock could not be created");
    m_App.SetReadBackCountdown(-1);
    m_App.SetScanActive(false);
    m_nTick = 0;
    ResetStats();
    m_App.SetStatsIndex(0);
    m_nInterval.store(PollingIntervalTicks());
}

bool CPoll::Start()
{
    if (m_Thread.joinable())
        return true;
    // The state is prepared here, before the thread exists, so that work the
    // starting thread does next (the station list's first scan) is not
    // undone by the new thread.
    Init();
    {
        std::lock_guard<std::mutex> lock(m_StopMutex);
        m_bStop = false;
    }
    try {
        m_Thread = std::thread(&CPoll::Run, this);
    } catch (const std::system_error &e) {
        DebugTrace("\nAssertion: the polling thread could not be created: %s", e.what());
        return false;
    }
    DebugWrite("\n !!! Polling Timer Created\n");
    return true;
}

void CPoll::Run()
{
    std::unique_lock<std::mutex> lock(m_StopMutex);
    const auto stopped = [this] { return m_bStop; };
    if (m_StopCond.wait_for(lock, m_StartDelay, stopped))
        return;
    // No tick while the system's wireless service may still hold the adapter.
    lock.unlock();
    m_App.WaitForServiceStop();
    lock.lock();
    if (m_bStop)
        return;
    auto next = std::chrono::steady_clock::now();
    for (;;) {
        lock.unlock();
        OnTick();
        lock.lock();
        // The next tick is due one period after the last one was due; ticks
        // missed while a tick ran long are dropped, not run in a burst.
        next += m_Period;
        const auto now = std::chrono::steady_clock::now();
        while (next <= now)
            next += m_Period;
        if (m_StopCond.wait_until(lock, next, stopped))
            return;
    }
}

void CPoll::Stop()
{
    if (!m_Thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_StopMutex);
        m_bStop = true;
    }
    m_StopCond.notify_all();
    m_Thread.join();
    m_App.SignalPollStopped();
}

void CPoll::ResetStats()
{
    DebugWrite("\nEnter Reset stats");
    CSectionLock lock(m_App, Section::Stats);
    if (!lock)
        return;
    m_nLastRx = 0;
    m_nLastTx = 0;
    m_bFirstSample = true;
    m_nInterval.store(kShortInterval);
}

void CPoll::BeginScan()
{
    m_App.SetScanActive(true);
    m_nInterval.store(kShortInterval);
}

void CPoll::RequestFullRefresh(bool flag)
{
    if (flag)
        m_App.RequestFullRefresh();
}

void CPoll::OnTick()
{
    CKestrowApp &app = m_App;
    if (app.StatsIndex() < 0)
        return;

    app.AgeAdapterState();
    app.SetRefreshPending();
    app.WakeUserInterface();

    if (m_nTick % kAutoSelectEvery == 0 && !app.ScanActive() &&
        app.ReadBackCountdown() < 0)
        AutoSelect();

    if (!app.ScanActive() && m_nTick != 0) {
        const SampleResult sampled = Sample();
        if (sampled == SampleResult::ReadFailed) {
            // Is the adapter still there?  Opening it again tells.
            app.CheckAdapter();
            m_nTick = 0;
            return;
        }
        // The statistics lock was busy: this tick's sample is dropped, and
        // with it the rest of the tick.
        if (sampled == SampleResult::LockBusy)
            return;
    }

    const std::int32_t countdown = app.ReadBackCountdown();
    if (countdown == 0)
        ReadBack();
    else if (countdown > 0)
        app.SetReadBackCountdown(countdown - 1);

    // A read-back still counting down holds the period's refresh back (it
    // asks for one itself); one that is due but was deferred does not.
    if ((m_nTick >= m_nInterval.load() && app.ReadBackCountdown() <= 0) ||
        app.ScanActive()) {
        RequestFullRefresh(true);
        m_nTick = 0;
        m_nInterval.store(PollingIntervalTicks());
    }
    ++m_nTick;
}

void CPoll::AutoSelect()
{
    CKestrowApp &app = m_App;
    // The station list and the profile store belong to the user-interface
    // thread while it holds the main lock: when it is busy, skip this time.
    CSectionLock lock(app, Section::Main);
    if (!lock)
        return;
    CStationMngr *stations = app.StationMngr();
    CProfileMngr *profiles = app.ProfileMngr();
    if (stations != nullptr && profiles != nullptr) {
        // The tooltip says what the General page says: "Not Connected" unless
        // the adapter reports an association, and then the adapter's own
        // network name (a hidden network's scan entry carries none).
        const bool associated = stations->IsConnected();
        if (associated) {
            std::string ssid;
            CCommVarList batch;
            batch.Add(VAR_SSID, ConvSsid, &ssid);
            if (batch.Exec(false, false))
                app.UpdateTip(true, ssid);
        } else {
            app.UpdateTip(false, std::string());
        }
        if (!associated && !app.AdHocConnected()) {
            if (CProfile *profile = profiles->NextAutoSelect()) {
                CStation station(*profile, nullptr, 0);
                if (station.Apply(CStation::Connect)) {
                    app.SetReadBackCountdown(kReadBackTicks);
                    stations->SetConnected(&station);
                    profiles->SetCurrent(profile, false);
                    ResetStats();
                }
            }
        }
    }
}

CPoll::SampleResult CPoll::Sample()
{
    CCommVarList batch;
    CCommVar *var = batch.Add(VAR_STATISTICS, nullptr, nullptr);
    if (var == nullptr || !batch.Exec(false, false))
        return SampleResult::ReadFailed;
    // Timed when the answer is in: a slow adapter delays every sample alike,
    // so the time between two of them is the time the counters counted.
    const auto at = m_Now();
    const request_record &record = var->m_Records[0];
    // Each total is a sum modulo 2^32, like the counters themselves.
    const std::uint32_t sent = record.u32(20) + record.u32(28) + record.u32(36);
    const std::uint32_t received = record.u32(44) + record.u32(52) + record.u32(60);

    CSectionLock lock(m_App, Section::Stats);
    if (!lock)
        return SampleResult::LockBusy;
    if (m_bFirstSample) {
        m_bFirstSample = false;
        m_nLastRx = received;
        m_nLastTx = sent;
        m_LastSampleAt = at;
    }
    // Bytes per millisecond are KB/sec.  The unsigned difference stays
    // right across a wrap of the counters.
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(at - m_LastSampleAt).count();
    const auto perSecond = [us](std::uint32_t bytes) {
        return us > 0 ? static_cast<std::int32_t>(static_cast<std::int64_t>(bytes) * 1000 / us) : 0;
    };
    m_App.SetThroughput(perSecond(received - m_nLastRx), perSecond(sent - m_nLastTx));
    m_nLastRx = received;
    m_nLastTx = sent;
    m_LastSampleAt = at;
    return SampleResult::Done;
}

void CPoll::ReadBack()
{
    CKestrowApp &app = m_App;
    // The user-interface thread is woken at the start of each tick and
    // refreshes its page under the main lock, so a plain try would meet it
    // on every tick.  Wait a little; when the lock stays busy the countdown
    // stays at 0 and the read-back is tried again on the next tick, without
    // holding back the refresh period.
    CSectionLock lock(app, Section::Main, kReadBackLockWait);
    if (!lock)
        return;
    app.SetReadBackCountdown(-1);
    if (app.StationMngr() != nullptr) {
        if (CStation *connected = app.StationMngr()->GetConnectedStation()) {
            (void)connected->Apply(CStation::Read);
            RequestFullRefresh(true);
        }
    }
}

} // namespace kestrow
