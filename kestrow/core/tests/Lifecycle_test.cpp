// Start-up, the polling work and shutdown against a real adapter-sim process,
// each test with its own adapter directory and registry file.
#include <gtest/gtest.h>

#ifdef ADAPTER_SIM_PATH

#include <atomic>
#include <thread>

#include <platform/Registry.h>
#include <platform/ServiceControl.h>

#include "ConnectOps.h"
#include "IMainWindow.h"
#include "Poll.h"
#include "ProfileMngr.h"
#include "StationMngr.h"
#include "WirelessService.h"
#include "support/CoreTest.h"
#include "AdapterSim.h"
#include "ScenarioBuilder.h"
#include "TempDir.h"

namespace kestrow {
namespace {

// Takes the tray tips; the test runs the ticks itself, on its own thread.
class RecordingWindow : public IMainWindow {
public:
    CRefreshRequest VisibleParts() const override { return {}; }
    void UpdatePages(bool) override {}
    void ShowRefresh(CPageRefresh refresh) override { generalReads += refresh.generalRead ? 1 : 0; }
    void SetTrayTip(const std::string &text) override { tip = text; }
    std::string tip;
    int generalReads = 0;
};

class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim_.ExportEnvironment();
        std::string error;
        ASSERT_TRUE(sim_.Start(ktest::ScenarioBuilder::OneOpenNetwork(), &error)) << error;
        ASSERT_EQ(platform::Registry::set_current_user_path(dir_.File("registry.sqlite3")), 0u);
        ResetTheApp();
        // The polling thread runs, but its first tick would come after an
        // hour: the tests run the ticks themselves.
        theApp().SetPollTiming(std::chrono::hours(1), std::chrono::milliseconds(1000));
    }
    void TearDown() override
    {
        theApp().SetMainWindow(nullptr);
        ResetTheApp();
        (void)platform::Registry::set_current_user_path(platform::Registry::default_path());
    }
    static void FullRefresh()
    {
        theApp().RequestFullRefresh();
        theApp().OnMainTimer();
    }
    static void Tick(int n)
    {
        for (int i = 0; i < n; ++i)
            theApp().Poll()->OnTick();
    }

    ktest::TempDir dir_;
    ktest::AdapterSim sim_;
    RecordingWindow window_;
};

TEST_F(LifecycleTest, AutoSelectionConnectsTheFirstReachableTheLossIsSeenAndShutdownSaves)
{
    test::SaveProfile(0, "Away", "Nowhere", 0);
    test::SaveProfile(1, "Office", "KestrowNet", 1);
    ASSERT_TRUE(theApp().Startup());
    theApp().SetMainWindow(&window_);
    for (int i = 0; i < 100000 && theApp().ScanActive(); ++i)
        FullRefresh();
    ASSERT_FALSE(theApp().ScanActive());
    CProfileMngr &profiles = *theApp().ProfileMngr();
    CStationMngr &stations = *theApp().StationMngr();

    // Tick 0 tries "Away" (not on the air), the next auto-selection tick
    // after its read-back tries "Office".
    for (int i = 0; i < 12 && profiles.GetCurrent() != profiles.Get("Office"); ++i)
        Tick(1);
    ASSERT_EQ(profiles.GetCurrent(), profiles.Get("Office"));
    Tick(6);  // read-back, then an auto-selection tick finds the connection
    EXPECT_EQ(window_.tip, "Configuration Utility\nConnected to:\nKestrowNet");
    // The full refresh puts the scan's entry in place of what was read back.
    FullRefresh();
    ASSERT_NE(stations.GetConnectedStation(), nullptr);
    EXPECT_EQ(stations.GetConnectedStation()->MacAddress, "00-11-22-33-44-55");

    // The loss of the link (its handling once only is the station list's
    // test): the next full refresh clears the connection.
    ASSERT_TRUE(sim_.Ctl("drop-link"));
    FullRefresh();
    EXPECT_EQ(profiles.GetCurrent(), nullptr);
    Tick(3);  // an auto-selection tick: the tooltip says what the General page says
    EXPECT_EQ(window_.tip, "Configuration Utility\nNot Connected");

    // Connecting by hand sets the read-back going, as auto-selection does.
    const auto office = CConnectOps(theApp()).ConnectProfile("Office");
    ASSERT_TRUE(office.result.Ok()) << office.result.Describe();
    EXPECT_EQ(theApp().ReadBackCountdown(), CPoll::kReadBackTicks);

    // Shutdown saves what was changed in memory only, for the next start.
    const std::string added = profiles.AddNew(nullptr);
    profiles.Get(added)->NetName = "unsaved";
    stations.ConnectedKey = "two;3";
    theApp().Shutdown();
    EXPECT_EQ(theApp().Poll(), nullptr);
    EXPECT_FALSE(theApp().DriverConnected());
    ResetTheApp();
    theApp().SetPollTiming(std::chrono::hours(1), std::chrono::milliseconds(1000));
    ASSERT_TRUE(theApp().Startup());
    ASSERT_EQ(theApp().ProfileMngr()->GetCount(), 3u);
    EXPECT_EQ(theApp().ProfileMngr()->Get(added)->NetName, "unsaved");
    EXPECT_EQ(theApp().GetProfileString("", "ConnectedStation", ""), "two;3");
    theApp().Shutdown();
}

// The window's first values may be read before it is set: they are kept
// for it only when asked for, and handed over once.
TEST_F(LifecycleTest, ValuesReadBeforeTheWindowIsSetReachItOnceWhenAskedFor)
{
    ASSERT_TRUE(theApp().CreateMainLock());  // no start-up: routines run on this thread
    theApp().OnMainTimer(CRefreshRequest{.general = true});
    theApp().RequestFirstRefresh(CRefreshRequest{.general = true});
    theApp().SetMainWindow(&window_);
    theApp().SetMainWindow(&window_);
    EXPECT_EQ(window_.generalReads, 1);
}

// The polling thread's ticks begin once the wireless service has stopped,
// which start-up does not wait for.
TEST_F(LifecycleTest, TheServiceStopsBesideStartupAndBeforeTheFirstTick)
{
    using platform::ServiceState;
    auto *table = dynamic_cast<platform::SimulatedServiceManager *>(&platform::local_service_manager());
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(table->state_of("wzcsvc") == ServiceState::Running || StartWirelessService());

    std::atomic<int> ticks = 0;
    std::atomic<int> ticksWhileRunning = 0;
    theApp().SetWakeCallback([&] {
        ticksWhileRunning += table->state_of("wzcsvc") == ServiceState::Stopped ? 0 : 1;
        ++ticks;
    });
    theApp().SetPollTiming(std::chrono::milliseconds(0), std::chrono::milliseconds(1));
    ASSERT_TRUE(theApp().Startup());
    EXPECT_NE(table->state_of("wzcsvc"), ServiceState::Stopped);  // takes a second to stop
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ticks < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(ticks, 3);
    theApp().Shutdown();  // waits for a tick in progress
    theApp().SetWakeCallback({});
    EXPECT_EQ(ticksWhileRunning, 0);
    EXPECT_EQ(table->state_of("wzcsvc"), ServiceState::Stopped);
}

} // namespace
} // namespace kestrow

#endif  // ADAPTER_SIM_PATH
