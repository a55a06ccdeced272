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

} // namespace
} // namespace kestrow
