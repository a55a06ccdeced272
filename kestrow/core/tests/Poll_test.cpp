// The polling thread's tick, run directly, and the thread itself with its
// delays shortened.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "KestrowApp.h"
#include "Poll.h"
#include "ProfileMngr.h"
#include "StationMngr.h"
#include "support/FakeDevice.h"
#include "support/ProfileFixtures.h"

namespace kestrow {
namespace {

using test::FakeDevice;

std::vector<std::uint8_t> Counters(std::uint32_t sent, std::uint32_t received)
{
    std::vector<std::uint8_t> data(64, 0);
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            data[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(20, sent);
    put(44, received);
    return data;
}

class PollTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTheApp();
        test::ClearAppKey();
        ASSERT_TRUE(app().CreateMainLock());
        fake_.Answer(0x590, {0});
        poll_ = std::make_unique<CPoll>(app());
        app().m_pPoll = poll_.get();
        poll_->Init();
    }
    void TearDown() override
    {
        app().m_pStationMngr = nullptr;
        app().m_pProfileMngr = nullptr;
        app().m_pPoll = nullptr;
    }
    static CKestrowApp &app() { return theApp(); }

    // Runs `n` ticks; returns the 1-based numbers of the ticks that asked
    // for a full refresh.
    std::vector<int> Ticks(int n)
    {
        std::vector<int> refreshed;
        for (int i = 1; i <= n; ++i) {
            poll_->OnTick();
            if (app().m_bFullRefresh.exchange(false))
                refreshed.push_back(i);
        }
        return refreshed;
    }
    std::size_t Connects() const
    {
        std::size_t n = 0;
        for (const auto &c : fake_.Calls())
            n += c.kind == test::FakeCall::Exec && c.command == 0x220 ? 1 : 0;
        return n;
    }
    // A store with one auto-selection profile, and a station list.
    void Managers()
    {
        CProfile p("Profile 0", false);
        p.ProfName = "auto";
        p.NetName = "home";
        p.NetMode = true;
        p.AutoSelect = true;
        ASSERT_TRUE(p.Save(false));
        ASSERT_TRUE(app().WriteProfileInt("", kNumOfProfiles, 1));
        profiles_ = std::make_unique<CProfileMngr>();
        stations_ = std::make_unique<CStationMngr>();
        app().m_pProfileMngr = profiles_.get();
        app().m_pStationMngr = stations_.get();
        app().m_bScanActive = false;
        poll_->SetInterval(20);
    }

    FakeDevice fake_;
    std::unique_ptr<CPoll> poll_;
    std::unique_ptr<CProfileMngr> profiles_;
    std::unique_ptr<CStationMngr> stations_;
};

TEST_F(PollTest, RefreshPeriodFollowsThePreferenceAndShortensAfterResetOrScan)
{
    ASSERT_TRUE(app().WriteProfileInt("", "Polling Interval", 20000));
    poll_->Init();
    EXPECT_EQ(poll_->GetInterval(), 20);
    EXPECT_EQ(Ticks(61), (std::vector<int>{21, 41, 61}));

    poll_->ResetStats();
    EXPECT_EQ(Ticks(24), (std::vector<int>{4, 24}));

    poll_->BeginScan();
    EXPECT_EQ(Ticks(3), (std::vector<int>{1, 2, 3}));  // every tick while scanning
    app().m_bScanActive = false;
    EXPECT_EQ(Ticks(20), (std::vector<int>{20}));
}

TEST_F(PollTest, ThroughputSurvivesACounterWrap)
{
    fake_.Answer(0x370, Counters(1000, 0xFFFFF000u));
    Ticks(2);  // tick 0 takes no sample, tick 1 only the first totals
    EXPECT_EQ(app().m_nRxKBps, 0);
    fake_.Answer(0x370, Counters(1000 + 5000, 0x00001000u));
    Ticks(1);
    EXPECT_EQ(app().m_nRxKBps, 8);  // 0x2000 bytes in one second
    EXPECT_EQ(app().m_nTxKBps, 5);
}

TEST_F(PollTest, ScanSuspendsSamplingAndAutoSelection)
{
    Managers();
    app().m_bScanActive = true;
    fake_.ClearCalls();
    Ticks(6);
    EXPECT_EQ(Connects(), 0u);
    for (const auto &c : fake_.Calls())
        EXPECT_NE(c.command, 0x370u) << "sampled during a scan";

    // Without the scan, every third tick tries the next profile: the scan
    // left the tick counter at 1.
    app().m_bScanActive = false;
    Ticks(2);
    EXPECT_EQ(Connects(), 0u);
    Ticks(1);
    EXPECT_EQ(Connects(), 1u);
    EXPECT_EQ(app().m_nReadBackCountdown, 1);  // set to 2, counted down once
    EXPECT_EQ(profiles_->GetCurrent(), profiles_->Get("auto"));
    EXPECT_EQ(stations_->ConnectedKey, "home;1");
}

TEST_F(PollTest, AFailedCounterReadEndsTheTick)
{
    Ticks(1);
    fake_.Refuse(0x370);
    app().m_nReadBackCountdown = 2;
    poll_->OnTick();
    EXPECT_EQ(app().m_nReadBackCountdown, 2);  // the countdown did not run
    EXPECT_EQ(poll_->GetTick(), 0);
    EXPECT_TRUE(app().m_bRefreshPending);
}

TEST_F(PollTest, BusyMainLockDefersAutoSelectionAndReadBack)
{
    Managers();
    ASSERT_TRUE(app().EnterSection(SECTION_MAIN));
    Ticks(1);
    EXPECT_EQ(Connects(), 0u);
    app().m_nReadBackCountdown = 0;
    Ticks(1);
    EXPECT_EQ(app().m_nReadBackCountdown, 0);  // tried again next tick
    app().LeaveSection(SECTION_MAIN);
    Ticks(1);
    EXPECT_EQ(app().m_nReadBackCountdown, -1);

    // A silenced tick does nothing at all.
    app().m_nStatsIndex = -1;
    app().m_bRefreshPending = false;
    fake_.ClearCalls();
    Ticks(5);
    EXPECT_TRUE(fake_.Calls().empty());
    EXPECT_FALSE(app().m_bRefreshPending);
}

TEST_F(PollTest, TheThreadTicksWakesAndStops)
{
    std::mutex m;
    std::condition_variable cv;
    int wakes = 0;
    app().SetWakeCallback([&] {
        std::lock_guard<std::mutex> lock(m);
        ++wakes;
        cv.notify_all();
    });
    poll_->SetTiming(std::chrono::milliseconds(0), std::chrono::milliseconds(1));
    ASSERT_TRUE(poll_->Start());
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return wakes >= 3; });
    }
    poll_->Stop();
    EXPECT_FALSE(poll_->IsRunning());
    app().SetWakeCallback({});
    EXPECT_TRUE(app().m_bRefreshPending);

    // Stopping during the start delay ends the thread at once.
    CPoll slow(app());
    ASSERT_TRUE(slow.Start());  // the real 5 s delay
    slow.Stop();
    EXPECT_FALSE(slow.IsRunning());
}

} // namespace
} // namespace kestrow
