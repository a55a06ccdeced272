// The polling thread's tick, run directly (the thread itself runs in the
// lifecycle test).
#include <gtest/gtest.h>

#include <algorithm>

#include "Poll.h"
#include "ProfileMngr.h"
#include "RequestRecord.h"
#include "SectionLock.h"
#include "StationMngr.h"
#include "support/CoreTest.h"

namespace kestrow {
namespace {

// The statistics counters' answer: frames sent at byte 20, received at 44.
std::vector<std::uint8_t> Counters(std::uint32_t sent, std::uint32_t received)
{
    request_record r;
    r.set_u32(20, sent);
    r.set_u32(44, received);
    return {r.data(), r.data() + 64};
}

class PollTest : public test::CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        app().SetPoll(std::make_unique<CPoll>(app()));
        poll_ = app().Poll();
        poll_->Init();
    }
    // Runs `n` ticks; returns the 1-based numbers of the ticks that asked
    // for a full refresh.
    std::vector<int> Ticks(int n)
    {
        std::vector<int> refreshed;
        for (int i = 1; i <= n; ++i) {
            poll_->OnTick();
            if (app().TakeFullRefresh())
                refreshed.push_back(i);
        }
        return refreshed;
    }
    std::size_t Connects() const
    {
        const auto codes = fake_.ExecCodes();
        return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), 0x220u));
    }
    // A store with one auto-selection profile, and a station list.
    void Managers()
    {
        test::SaveProfile(0, "auto", "home", 0);
        app().SetProfileMngr(std::make_unique<CProfileMngr>());
        app().SetStationMngr(std::make_unique<CStationMngr>(app(), *app().ProfileMngr()));
        app().SetScanActive(false);
        poll_->SetInterval(20);
    }

    CPoll *poll_ = nullptr;  // owned by the application object
};

TEST_F(PollTest, RefreshPeriodFollowsThePreferenceAndShortensAfterResetOrScan)
{
    ASSERT_TRUE(app().WriteProfileInt("", "Polling Interval", 20000));
    poll_->Init();
    EXPECT_EQ(Ticks(61), (std::vector<int>{21, 41, 61}));

    poll_->ResetStats();
    EXPECT_EQ(Ticks(24), (std::vector<int>{4, 24}));

    poll_->BeginScan();
    EXPECT_EQ(Ticks(3), (std::vector<int>{1, 2, 3}));  // every tick while scanning
    app().SetScanActive(false);
    EXPECT_EQ(Ticks(20), (std::vector<int>{20}));
}

TEST_F(PollTest, ThroughputIsPerSecondOfRealTimeSurvivesACounterWrapAndAFailedReadEndsTheTick)
{
    auto now = std::chrono::steady_clock::now();
    auto step = std::chrono::milliseconds(1000);
    poll_->SetClock([&] { return now += step; });
    fake_.Answer(0x370, Counters(1000, 0xFFFFF000u));
    Ticks(2);  // tick 0 takes no sample, tick 1 only the first totals
    EXPECT_EQ(app().RxKBps(), 0);
    fake_.Answer(0x370, Counters(1000 + 5000, 0x00001000u));
    Ticks(1);
    EXPECT_EQ(app().RxKBps(), 8);  // 0x2000 bytes in one second
    EXPECT_EQ(app().TxKBps(), 5);

    // A slow adapter: the next answer comes four seconds later.
    step = std::chrono::milliseconds(4000);
    fake_.Answer(0x370, Counters(6000 + 8000, 0x00001000u + 16000));
    Ticks(1);
    EXPECT_EQ(app().RxKBps(), 4);
    EXPECT_EQ(app().TxKBps(), 2);

    fake_.Refuse(0x370);
    app().SetReadBackCountdown(2);
    ASSERT_NE(poll_->GetTick(), 0);
    poll_->OnTick();
    EXPECT_EQ(app().ReadBackCountdown(), 2);  // the countdown did not run
    EXPECT_EQ(poll_->GetTick(), 0);
    EXPECT_TRUE(app().RefreshPending());
}

TEST_F(PollTest, ScanSuspendsSamplingAndAutoSelection)
{
    Managers();
    app().SetScanActive(true);
    fake_.ClearCalls();
    Ticks(6);
    const auto codes = fake_.ExecCodes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x370u), 0) << "sampled during a scan";
    EXPECT_EQ(Connects(), 0u);

    // Without the scan, every third tick tries the next profile: the scan
    // left the tick counter at 1.
    app().SetScanActive(false);
    Ticks(2);
    EXPECT_EQ(Connects(), 0u);
    Ticks(1);
    EXPECT_EQ(Connects(), 1u);
    EXPECT_EQ(app().ReadBackCountdown(), 1);  // set to 2, counted down once
    EXPECT_EQ(app().ProfileMngr()->GetCurrent(), app().ProfileMngr()->Get("auto"));
    EXPECT_EQ(app().StationMngr()->ConnectedKey, "home;1");
}

TEST_F(PollTest, BusyMainLockDefersAutoSelectionAndReadBackButNotTheRefreshPeriod)
{
    Managers();
    {
        CSectionLock held(app(), Section::Main);
        Ticks(1);
        EXPECT_EQ(Connects(), 0u);
        app().SetReadBackCountdown(0);
        poll_->SetInterval(4);
        // The read-back stays due while the lock is busy; the refresh
        // period still ends and asks for its full refresh.
        EXPECT_FALSE(Ticks(6).empty());
        EXPECT_EQ(app().ReadBackCountdown(), 0);
    }
    Ticks(1);
    EXPECT_EQ(app().ReadBackCountdown(), -1);

    // A silenced tick does nothing at all.
    app().SetStatsIndex(-1);
    app().TakeRefreshPending();
    fake_.ClearCalls();
    Ticks(5);
    EXPECT_TRUE(fake_.ExecCodes().empty());
    EXPECT_FALSE(app().RefreshPending());
}

} // namespace
} // namespace kestrow
