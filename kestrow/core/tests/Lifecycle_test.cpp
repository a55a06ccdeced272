// Start-up, the polling work and shutdown against a real adapter-sim process,
// each test with its own adapter directory and registry file.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#ifdef ADAPTER_SIM_PATH

#include <filesystem>

#include <platform/Registry.h>
#include <platform/ServiceControl.h>

#include "ConnectOps.h"
#include "IMainWindow.h"
#include "KestrowApp.h"
#include "SectionLock.h"
#include "Poll.h"
#include "ProfileMngr.h"
#include "StationMngr.h"
#include "StringTable.h"
#include "WirelessService.h"
#include "support/ProfileFixtures.h"
#include "AdapterSim.h"
#include "ScenarioBuilder.h"
#include "TempDir.h"

namespace kestrow {
namespace {

// Networks close to the default neighbourhood; the scan is short so that a
// test never waits long for it to end.
std::string Scenario()
{
    return ktest::ScenarioBuilder()
        .Seed(7)
        .Adapter("sim0")
        .Set("reg_domain", "0x10")
        .Set("scan_time", 20)
        .Network("CoffeeCorner", "00:0F:66:21:A0:01", 1)
        .Set("phy", "g")
        .Set("signal", -50)
        .Network("Campus", "00:13:10:55:01:06", 6)
        .Set("phy", "g")
        .Set("signal", -58)
        .Text();
}

class RecordingWindow : public IMainWindow {
public:
    CRefreshRequest VisibleParts() const override
    {
        CRefreshRequest parts;
        parts.general = true;
        return parts;
    }
    void UpdatePages(bool) override {}
    void ShowRefresh(CPageRefresh refresh) override { (refresh.full ? fullUpdates : updates)++; }
    void SetTrayTip(const std::string &text) override
    {
        std::lock_guard<std::mutex> lock(m);
        tip = text;
    }
    std::atomic<int> updates{0};
    std::atomic<int> fullUpdates{0};
    std::mutex m;
    std::string tip;
};

class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim_ = std::make_unique<ktest::AdapterSim>();
        sim_->ExportEnvironment();
        std::string error;
        ASSERT_TRUE(sim_->Start(Scenario(), &error)) << error;
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
        sim_.reset();
    }

    static void StoreProfile(int index, const std::string &name, const std::string &ssid, int priority)
    {
        CProfile p("Profile " + std::to_string(index), false);
        p.ProfName = name;
        p.NetName = ssid;
        p.NetMode = true;
        p.PhyType = 2;
        p.PhyChnl = 0;
        p.AutoSelect = priority >= 0;
        p.Priority = priority;
        ASSERT_TRUE(p.Save(false));
    }
    // Runs main timer routines with full refreshes until the scan is over.
    static void FinishScan()
    {
        for (int i = 0; i < 100000 && theApp().ScanActive(); ++i) {
            theApp().RequestFullRefresh();
            theApp().OnMainTimer();
        }
        ASSERT_FALSE(theApp().ScanActive());
    }
    static void Tick(int n)
    {
        for (int i = 0; i < n; ++i)
            theApp().Poll()->OnTick();
    }

    ktest::TempDir dir_;
    std::unique_ptr<ktest::AdapterSim> sim_;
    RecordingWindow window_;
};

TEST_F(LifecycleTest, ConnectingAProfileIsReadBackAndRecognisedInTheScan)
{
    StoreProfile(0, "Coffee", "CoffeeCorner", -1);
    StoreProfile(1, "Away", "Nowhere", -1);
    StoreProfile(2, "Camp", "Campus", 0);
    ASSERT_TRUE(theApp().WriteProfileInt("", kNumOfProfiles, 3));
    ASSERT_TRUE(theApp().Startup());
    EXPECT_TRUE(theApp().DriverConnected());
    theApp().SetMainWindow(&window_);
    FinishScan();
    CStationMngr &stations = *theApp().StationMngr();
    ASSERT_NE(stations.Lookup("CoffeeCorner;1"), nullptr);

    // The adapter takes the settings of a network out of range but never
    // associates: a failure, and no connection is kept.
    const auto away = CConnectOps(theApp(), std::chrono::milliseconds(300)).ConnectProfile("Away");
    EXPECT_EQ(away.result.messageId, IDS_PROFILE_CONNECT_FAILED);
    EXPECT_EQ(away.associated, std::optional<bool>(false));
    EXPECT_TRUE(stations.ConnectedKey.empty());

    // Joining a surveyed network replaces the profile of that network and
    // keeps its place in the auto-selection order.
    const auto joined = CConnectOps(theApp()).JoinStation(*stations.Lookup("Campus;6"));
    ASSERT_TRUE(joined.result.Ok()) << joined.result.Describe();
    EXPECT_EQ(theApp().ProfileMngr()->Get("Camp"), nullptr);
    const CProfile *campus = theApp().ProfileMngr()->Get(joined.profileName);
    ASSERT_NE(campus, nullptr);
    EXPECT_EQ(campus->Priority, 0);
    EXPECT_EQ(stations.ConnectedKey, "Campus;6");

    const auto outcome = CConnectOps(theApp()).ConnectProfile("Coffee");
    ASSERT_TRUE(outcome.result.Ok());
    EXPECT_EQ(outcome.associated, std::optional<bool>(true));
    EXPECT_EQ(theApp().ReadBackCountdown(), CPoll::kReadBackTicks);
    std::string stats;
    ASSERT_TRUE(sim_->Ctl("stats", &stats));
    EXPECT_NE(stats.find("connected yes"), std::string::npos) << stats;

    Tick(2);
    EXPECT_EQ(theApp().ReadBackCountdown(), 0);
    Tick(1);  // reads the connection back into the connected station
    EXPECT_EQ(theApp().ReadBackCountdown(), -1);
    const CStation *connected = stations.GetConnectedStation();
    ASSERT_NE(connected, nullptr);
    EXPECT_EQ(connected->NetName, "CoffeeCorner");
    EXPECT_EQ(connected->PhyChnl, 1);
    EXPECT_EQ(connected->MacAddress, "--");
    ASSERT_TRUE(theApp().FullRefreshRequested());

    theApp().OnMainTimer();  // the full refresh rebuilds the list
    connected = stations.GetConnectedStation();
    ASSERT_NE(connected, nullptr);
    EXPECT_EQ(connected->MacAddress, "00-0F-66-21-A0-01");
    EXPECT_GE(window_.fullUpdates, 1);
    theApp().Shutdown();
}

TEST_F(LifecycleTest, AutoSelectionConnectsTheFirstReachableAndDropLinkIsHandledOnce)
{
    StoreProfile(0, "Away", "Nowhere", 0);
    StoreProfile(1, "Coffee", "CoffeeCorner", 1);
    ASSERT_TRUE(theApp().WriteProfileInt("", kNumOfProfiles, 2));
    ASSERT_TRUE(theApp().Startup());
    theApp().SetMainWindow(&window_);
    FinishScan();
    CProfileMngr &profiles = *theApp().ProfileMngr();
    CStationMngr &stations = *theApp().StationMngr();

    // Tick 0 tries "Away" (not on the air), the next auto-selection tick
    // after its read-back tries "Coffee".
    for (int i = 0; i < 12 && profiles.GetCurrent() != profiles.Get("Coffee"); ++i)
        Tick(1);
    ASSERT_EQ(profiles.GetCurrent(), profiles.Get("Coffee"));
    std::string stats;
    ASSERT_TRUE(sim_->Ctl("stats", &stats));
    EXPECT_NE(stats.find("connected yes"), std::string::npos) << stats;
    Tick(6);  // read-back, then an auto-selection tick finds the connection
    {
        std::lock_guard<std::mutex> lock(window_.m);
        EXPECT_EQ(window_.tip, "Configuration Utility\nConnected to:\nCoffeeCorner");
    }

    theApp().RequestFullRefresh();
    theApp().OnMainTimer();
    ASSERT_TRUE(stations.WasConnected);
    ASSERT_NE(stations.GetConnectedStation(), nullptr);

    ASSERT_TRUE(sim_->Ctl("drop-link"));
    theApp().Poll()->SetInterval(20);
    theApp().RequestFullRefresh();
    theApp().OnMainTimer();
    EXPECT_EQ(stations.GetConnectedStation(), nullptr);
    EXPECT_TRUE(stations.ConnectedKey.empty());
    EXPECT_EQ(profiles.GetCurrent(), nullptr);
    EXPECT_EQ(theApp().Poll()->GetInterval(), CPoll::kShortInterval);

    theApp().Poll()->SetInterval(20);
    theApp().RequestFullRefresh();
    theApp().OnMainTimer();
    EXPECT_EQ(theApp().Poll()->GetInterval(), 20);  // handled once only
    Tick(3);  // an auto-selection tick: the tooltip says what the General page says
    {
        std::lock_guard<std::mutex> lock(window_.m);
        EXPECT_EQ(window_.tip, "Configuration Utility\nNot Connected");
    }
    theApp().Shutdown();
}

TEST_F(LifecycleTest, ShutdownSavesEveryProfileForTheNextStart)
{
    ASSERT_TRUE(theApp().Startup());
    ASSERT_NE(theApp().Poll(), nullptr);
    CProfileMngr &profiles = *theApp().ProfileMngr();
    for (const char *ssid : {"one", "two", "three"}) {
        const std::string name = profiles.AddNew(nullptr);
        profiles.Get(name)->NetName = ssid;
    }
    theApp().StationMngr()->ConnectedKey = "two;3";
    theApp().Shutdown();
    EXPECT_EQ(theApp().Poll(), nullptr);
    EXPECT_FALSE(theApp().DriverConnected());

    ResetTheApp();
    theApp().SetPollTiming(std::chrono::hours(1), std::chrono::milliseconds(1000));
    ASSERT_TRUE(theApp().Startup());
    CProfileMngr &again = *theApp().ProfileMngr();
    ASSERT_EQ(again.GetCount(), 3u);
    EXPECT_EQ(again.Get("Profile 1")->NetName, "two");
    EXPECT_EQ(theApp().GetProfileString("", "ConnectedStation", ""), "two;3");
    theApp().Shutdown();
}

TEST_F(LifecycleTest, TheThreadRunsTicksBetweenStartupAndShutdown)
{
    std::mutex m;
    std::condition_variable cv;
    int wakes = 0;
    theApp().SetWakeCallback([&] {
        std::lock_guard<std::mutex> lock(m);
        ++wakes;
        cv.notify_all();
    });
    theApp().SetPollTiming(std::chrono::milliseconds(0), std::chrono::milliseconds(1));
    ASSERT_TRUE(theApp().Startup());
    theApp().SetMainWindow(&window_);
    {
        std::unique_lock<std::mutex> lock(m);
        EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return wakes >= 5; }));
    }
    // The user-interface side, as the ticks go on: the routines run on the
    // refresh worker.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (window_.updates + window_.fullUpdates < 1 && std::chrono::steady_clock::now() < deadline) {
        theApp().PumpRefresh();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    theApp().Shutdown();  // waits for a tick in progress
    theApp().SetWakeCallback({});
    EXPECT_GE(window_.updates + window_.fullUpdates, 1);
}

TEST_F(LifecycleTest, TheServiceStopsBesideStartupAndBeforeTheFirstTick)
{
    using platform::ServiceState;
    auto *table = dynamic_cast<platform::SimulatedServiceManager *>(&platform::local_service_manager());
    ASSERT_NE(table, nullptr);
    if (table->state_of("wzcsvc") != ServiceState::Running) {
        ASSERT_TRUE(StartWirelessService());
    }
    ASSERT_EQ(table->state_of("wzcsvc"), ServiceState::Running);

    std::mutex m;
    std::condition_variable cv;
    int ticks = 0;
    int ticksWhileRunning = 0;
    theApp().SetWakeCallback([&] {
        const bool stopped = table->state_of("wzcsvc") == ServiceState::Stopped;
        std::lock_guard<std::mutex> lock(m);
        ++ticks;
        ticksWhileRunning += stopped ? 0 : 1;
        cv.notify_all();
    });
    theApp().SetPollTiming(std::chrono::milliseconds(0), std::chrono::milliseconds(1));
    ASSERT_TRUE(theApp().Startup());
    // The service takes a second to stop; start-up has not waited for it.
    EXPECT_NE(table->state_of("wzcsvc"), ServiceState::Stopped);
    {
        std::unique_lock<std::mutex> lock(m);
        EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return ticks >= 3; }));
    }
    theApp().Shutdown();
    theApp().SetWakeCallback({});
    EXPECT_EQ(ticksWhileRunning, 0);
    EXPECT_EQ(table->state_of("wzcsvc"), ServiceState::Stopped);
}

} // namespace
} // namespace kestrow

#endif  // ADAPTER_SIM_PATH
