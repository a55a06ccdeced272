// The application object's two locks: the main lock is a try-lock, the
// statistics lock waits for its holder.
#include <gtest/gtest.h>

#include <thread>

#include "support/CoreTest.h"

namespace kestrow {
namespace {

using AppTest = test::CoreTest;

TEST_F(AppTest, MainLockIsATryLockEvenForItsHolderAndAStrayLeaveChangesNothing)
{
    ASSERT_TRUE(app().EnterSection(Section::Main));
    EXPECT_FALSE(app().EnterSection(Section::Main));  // the holder's own second try
    // Another thread cannot enter, even after a leave from a thread that
    // holds nothing.
    std::thread([&] { app().LeaveSection(Section::Main); }).join();
    bool other = true;
    std::thread([&] { other = app().EnterSection(Section::Main); }).join();
    EXPECT_FALSE(other);

    app().LeaveSection(Section::Main);
    std::thread([&] {
        other = app().EnterSection(Section::Main);
        app().LeaveSection(Section::Main);
    }).join();
    EXPECT_TRUE(other);
}

TEST_F(AppTest, StatsLockWaitsForItsHolderAndNoLockWorksWithoutItsGate)
{
    ASSERT_TRUE(app().EnterSection(Section::Stats));
    bool entered = false;
    std::thread waiter([&] {
        entered = app().EnterSection(Section::Stats);  // blocks until left
        if (entered)
            app().LeaveSection(Section::Stats);
    });
    // Gives the waiter time to meet the held lock (a try would fail there).
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    app().LeaveSection(Section::Stats);
    waiter.join();
    EXPECT_TRUE(entered);

    ResetTheApp();  // no gates created yet
    EXPECT_FALSE(app().EnterSection(Section::Main));
    EXPECT_FALSE(app().EnterSection(Section::Stats));
}

} // namespace
} // namespace kestrow
