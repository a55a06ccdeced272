#include "platform/ServiceControl.h"

#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "platform/Win32Error.h"

namespace {

using namespace platform;

TEST(SimulatedServiceManagerTest, DependentsComeByTheTwoCallProtocol)
{
    FakeClock clock;
    auto table = make_demo_service_table(clock);
    SimulatedServiceManager::ServiceConfig deeper;
    deeper.name = "deeper";
    deeper.display_name = "Depends on the notifier";
    deeper.depends_on = {"WLANNOTIFY"};
    table->add_service(deeper);

    const ScHandle m = table->open_sc_manager(kScManagerConnect);
    const ScHandle s = table->open_service(m, "WzcSvc", kServiceEnumerateDependents | kServiceQueryStatus);
    ASSERT_NE(s, kNullScHandle);

    std::uint32_t needed = 0;
    std::uint32_t count = 99;
    EXPECT_FALSE(table->enum_dependent_services(s, kServiceActive, nullptr, 0, &needed, &count));
    EXPECT_EQ(ServiceControlManager::last_error(), kErrorMoreData);
    EXPECT_EQ(count, 0u);
    ASSERT_GT(needed, 2 * sizeof(EnumServiceStatus));

    void *small = std::calloc(1, needed - 1);
    EXPECT_FALSE(table->enum_dependent_services(s, kServiceActive, small, needed - 1, &needed, &count));
    EXPECT_EQ(ServiceControlManager::last_error(), kErrorMoreData);
    std::free(small);

    void *buffer = std::calloc(1, needed);
    ASSERT_TRUE(table->enum_dependent_services(s, kServiceActive, buffer, needed, &needed, &count));
    ASSERT_EQ(count, 2u);
    const auto *deps = static_cast<const EnumServiceStatus *>(buffer);
    EXPECT_STREQ(deps[0].service_name, "deeper");  // the most dependent first
    EXPECT_STREQ(deps[1].service_name, "wlannotify");
    EXPECT_STREQ(deps[1].display_name, "Wireless Connection Notification");
    EXPECT_EQ(deps[1].status.current_state, ServiceState::Running);
    std::free(buffer);

    // Stopping a service that running services need is refused.
    const ScHandle stopper = table->open_service(m, "wzcsvc", kServiceStop);
    ServiceStatus st;
    EXPECT_FALSE(table->control_service(stopper, kServiceControlStop, &st));
    EXPECT_EQ(ServiceControlManager::last_error(), kErrorDependentServicesRunning);
    // A handle without the right is refused too.
    EXPECT_FALSE(table->query_service_status(stopper, &st));
    EXPECT_EQ(ServiceControlManager::last_error(), kErrorAccessDenied);
    EXPECT_FALSE(table->close_service_handle(12345));
    EXPECT_EQ(ServiceControlManager::last_error(), kErrorInvalidHandle);
    EXPECT_EQ(table->open_service(m, "absent", kServiceStop), kNullScHandle);
    EXPECT_EQ(ServiceControlManager::last_error(), kErrorServiceDoesNotExist);

    for (ScHandle h : {stopper, s, m})
        EXPECT_TRUE(table->close_service_handle(h));
    EXPECT_EQ(table->open_handles(), 0u);
}

TEST(SimulatedServiceManagerTest, StopTakesItsTimeOnTheClock)
{
    FakeClock clock;
    SimulatedServiceManager table(clock);
    SimulatedServiceManager::ServiceConfig c;
    c.name = "slow";
    c.wait_hint_ms = 500;
    c.stop_time_ms = 1200;
    table.add_service(c);
    const ScHandle m = table.open_sc_manager(kScManagerConnect);
    const ScHandle s = table.open_service(m, "slow", kServiceStop | kServiceQueryStatus);
    ServiceStatus st;
    ASSERT_TRUE(table.control_service(s, kServiceControlStop, &st));
    EXPECT_EQ(st.current_state, ServiceState::StopPending);
    EXPECT_EQ(st.wait_hint, 500u);
    EXPECT_FALSE(table.control_service(s, kServiceControlStop, &st));
    EXPECT_EQ(ServiceControlManager::last_error(), kErrorServiceCannotAcceptCtrl);
    clock.advance(1199);
    ASSERT_TRUE(table.query_service_status(s, &st));
    EXPECT_EQ(st.current_state, ServiceState::StopPending);
    clock.advance(1);
    ASSERT_TRUE(table.query_service_status(s, &st));
    EXPECT_EQ(st.current_state, ServiceState::Stopped);
    EXPECT_FALSE(table.control_service(s, kServiceControlStop, &st));
    EXPECT_EQ(ServiceControlManager::last_error(), kErrorServiceNotActive);
}

} // namespace
