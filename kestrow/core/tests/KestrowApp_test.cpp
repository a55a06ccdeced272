// The application object: driver connection, the two locks and the profile
// functions.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <platform/Registry.h>

#include "KestrowApp.h"
#include "support/FakeDevice.h"
#include "support/Recorders.h"

namespace kestrow {
namespace {

using test::FakeCall;
using test::FakeDevice;

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTheApp();
        ASSERT_TRUE(app().CreateMainLock());
        ASSERT_TRUE(app().CreateStatsLock());
    }
    static CKestrowApp &app() { return theApp(); }
};

TEST_F(AppTest, ConnectAndDisconnectDriver)
{
    FakeDevice fake;
    EXPECT_TRUE(app().ConnectDriver());
    EXPECT_TRUE(app().DriverConnected());
    app().DisconnectDriver();
    EXPECT_FALSE(app().DriverConnected());
    app().DisconnectDriver();  // not connected: the library is not called
    ASSERT_EQ(fake.Calls().size(), 2u);
    EXPECT_EQ(fake.Calls()[0].name, "SEARCH");
    EXPECT_EQ(fake.Calls()[1].kind, FakeCall::Disconnect);

    fake.connect_result = 50;
    EXPECT_FALSE(app().ConnectDriver());
    fake.connect_result = 0;
    fake.connect_throws = true;
    EXPECT_FALSE(app().ConnectDriver());
    EXPECT_FALSE(app().DriverConnected());
}

TEST_F(AppTest, MainLockIsATryLockEvenForItsHolder)
{
    test::DebugCapture log;
    ASSERT_TRUE(app().EnterSection(Section::Main));
    EXPECT_FALSE(app().EnterSection(Section::Main));  // the holder's own second try

    bool other = true;
    std::thread([&] { other = app().EnterSection(Section::Main); }).join();
    EXPECT_FALSE(other);

    app().LeaveSection(Section::Main);
    std::thread([&] {
        other = app().EnterSection(Section::Main);
        app().LeaveSection(Section::Main);
    }).join();
    EXPECT_TRUE(other);
    EXPECT_NE(log.text.find("\nEnter CS_MAIN"), std::string::npos);
}

TEST_F(AppTest, StatsLockWaitsForItsHolder)
{
    test::DebugCapture log;
    ASSERT_TRUE(app().EnterSection(Section::Stats));
    std::atomic<int> stage{0};
    std::thread waiter([&] {
        stage = 1;
        const bool entered = app().EnterSection(Section::Stats);  // blocks until left
        stage = entered ? 2 : 3;
        if (entered)
            app().LeaveSection(Section::Stats);
    });
    while (stage.load() == 0)
        std::this_thread::yield();
    app().LeaveSection(Section::Stats);
    waiter.join();
    EXPECT_EQ(stage.load(), 2);
    EXPECT_NE(log.text.find("\nEnter CS_STATS"), std::string::npos);
}

TEST_F(AppTest, LocksWithoutGateOrHolderFailSafely)
{
    // A stray leave from a thread that holds nothing changes nothing.
    ASSERT_TRUE(app().EnterSection(Section::Main));
    std::thread([&] { app().LeaveSection(Section::Main); }).join();
    app().LeaveSection(Section::Main);

    ResetTheApp();  // no gates created yet
    EXPECT_FALSE(app().EnterSection(Section::Main));
    EXPECT_FALSE(app().EnterSection(Section::Stats));
}

TEST_F(AppTest, ProfileValuesBySection)
{
    EXPECT_EQ(app().GetProfileInt("", "Polling Interval", 20000), 20000);
    EXPECT_EQ(app().GetProfileString("Profile 0", "ProfName", "none"), "none");

    ASSERT_TRUE(app().WriteProfileInt("", "Polling Interval", 5000));
    ASSERT_TRUE(app().WriteProfileString("Profile 0", "ProfName", "Büro"));
    EXPECT_EQ(app().GetProfileInt("", "Polling Interval", 20000), 5000);
    EXPECT_EQ(app().GetProfileString("Profile 0", "ProfName", ""), "Büro");
    // A value of the other type reads as the default.
    EXPECT_EQ(app().GetProfileInt("Profile 0", "ProfName", -1), -1);

    // Where the values live.
    platform::Registry *registry = platform::Registry::current_user();
    ASSERT_NE(registry, nullptr);
    std::uint32_t dword = 0;
    EXPECT_EQ(registry->query_dword("Software\\Dovrel\\Configuration Utility", "Polling Interval", &dword), 0u);
    EXPECT_EQ(dword, 5000u);
    std::string name;
    EXPECT_EQ(registry->query_string("Software\\Dovrel\\Configuration Utility\\Profile 0", "ProfName", &name),
              0u);
    EXPECT_EQ(name, "Büro");
}

} // namespace
} // namespace kestrow
