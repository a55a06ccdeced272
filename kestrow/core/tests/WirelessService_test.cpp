#include "WirelessService.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/Win32Error.h"

namespace {

using platform::FakeClock;
using platform::ServiceState;
using platform::SimulatedServiceManager;

SimulatedServiceManager::ServiceConfig Service(const char *name, ServiceState state = ServiceState::Running,
                                               std::uint32_t waitHint = 1000, std::uint32_t stopTime = 0,
                                               std::vector<std::string> dependsOn = {}, std::uint32_t denied = 0)
{
    return {name, name, state, waitHint, stopTime, std::move(dependsOn), denied};
}

class WirelessServiceTest : public ::testing::Test {
protected:
    FakeClock clock_{1000};
    SimulatedServiceManager scm_{clock_};
    std::ostringstream out_;

    bool stop(const char *name) { return kestrow::StopServiceByName(scm_, clock_, out_, name); }
};

TEST_F(WirelessServiceTest, RunningServiceWithDependentsStopsDependentsFirst)
{
    // The demo table: "wzcsvc" and a service that depends on it; the name
    // is found whatever its case.
    auto demo = platform::make_demo_service_table(clock_);
    EXPECT_TRUE(kestrow::StopServiceByName(*demo, clock_, out_, "WZCSVC"));
    for (const char *name : {"wzcsvc", "wlannotify"}) {
        EXPECT_EQ(demo->state_of(name), ServiceState::Stopped);
        EXPECT_EQ(demo->stop_controls_sent(name), 1u);
    }
    EXPECT_EQ(out_.str(), "");

    EXPECT_TRUE(kestrow::StartWirelessService(*demo));
    EXPECT_EQ(demo->state_of("wzcsvc"), ServiceState::Running);
    // Starting a running service fails inside, and still reports true.
    EXPECT_TRUE(kestrow::StartWirelessService(*demo));
    EXPECT_EQ(demo->starts("wzcsvc"), 1u);
    EXPECT_EQ(demo->open_handles(), 0u);
}

// Neither a dependent that never stops nor a huge wait hint holds the stop
// past its 30-second time-out; the service behind such a dependent is not
// asked, and every handle (the dependent's too) is closed.
TEST_F(WirelessServiceTest, AStopThatNeverEndsTimesOutAndTheServiceBehindItIsNotAsked)
{
    scm_.add_service(Service("wzcsvc"));
    scm_.add_service(Service("helper", ServiceState::Running, 3000, SimulatedServiceManager::kNeverStops, {"wzcsvc"}));
    scm_.add_service(Service("slow", ServiceState::StopPending, 0xFFFFFFFFu, SimulatedServiceManager::kNeverStops));
    for (const char *name : {"wzcsvc", "slow"}) {
        const std::uint64_t start = clock_.tick_ms();
        EXPECT_FALSE(stop(name));
        EXPECT_EQ(clock_.tick_ms() - start, 30001u) << name;  // the last wait is cut at the time-out
    }
    EXPECT_EQ(scm_.stop_controls_sent("helper"), 1u);
    EXPECT_EQ(scm_.stop_controls_sent("wzcsvc"), 0u);
    EXPECT_EQ(scm_.open_handles(), 0u);
}

TEST_F(WirelessServiceTest, OpenFailuresPrintTheDiagnostic)
{
    scm_.add_service(Service("wzcsvc", ServiceState::Running, 1000, 0, {}, platform::kServiceStop));
    EXPECT_FALSE(stop("wzcsvc"));
    EXPECT_EQ(out_.str(), "OpenService() failed:\n"
                          "    error code = 5\n"
                          "    message    = Access is denied.\n");
    EXPECT_EQ(scm_.stop_controls_sent("wzcsvc"), 0u);
    EXPECT_EQ(scm_.open_handles(), 0u);

    out_.str("");
    scm_.set_manager_open_error(platform::kErrorAccessDenied);
    EXPECT_FALSE(stop("wzcsvc"));
    EXPECT_EQ(out_.str().rfind("OpenSCManager() failed:\n    error code = 5\n", 0), 0u);
}

} // namespace
