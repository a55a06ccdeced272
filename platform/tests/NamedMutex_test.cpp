#include "platform/NamedMutex.h"

#include <atomic>
#include <thread>

#include "TestSupport.h"

namespace {

using platform::NamedMutex;
using platform::WaitResult;
using platform_test::Child;

// Every test gets its own runtime directory, which the helper processes
// inherit through the environment.
class NamedMutexTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }

    Child holder(const std::string &name)
    {
        return Child({PLATFORM_TEST_HELPER, "mutex", name});
    }

    platform_test::TempDir dir_;
};

TEST_F(NamedMutexTest, TestReleaseAndReentryWithinAProcess)
{
    NamedMutex a("MutexToProtectm_Section");
    NamedMutex b("MutexToProtectm_Section");
    ASSERT_TRUE(a.valid());
    EXPECT_EQ(a.name(), "MutexToProtectm_Section");

    EXPECT_FALSE(a.release());  // not owned yet
    EXPECT_EQ(a.wait(0), WaitResult::Signaled);
    EXPECT_EQ(b.wait(0), WaitResult::Signaled);  // same name, same thread: re-entry

    WaitResult other = WaitResult::Failed;
    bool other_release = true;
    std::thread([&] {
        NamedMutex c("MutexToProtectm_Section");
        other = c.wait(0);
        other_release = c.release();
    }).join();
    EXPECT_EQ(other, WaitResult::Timeout);
    EXPECT_FALSE(other_release);

    EXPECT_TRUE(a.release());
    std::thread([&] {
        NamedMutex c("MutexToProtectm_Section");
        other = c.wait(0);  // still held once more
    }).join();
    EXPECT_EQ(other, WaitResult::Timeout);
    EXPECT_TRUE(b.release());
    EXPECT_FALSE(b.release());

    std::thread([&] {
        NamedMutex c("MutexToProtectm_Section");
        other = c.wait(0);
        other_release = c.release();
    }).join();
    EXPECT_EQ(other, WaitResult::Signaled);
    EXPECT_TRUE(other_release);

    // Another name is another gate.
    NamedMutex stats("MutexToProtectm_StatsSection");
    EXPECT_EQ(a.wait(0), WaitResult::Signaled);
    EXPECT_EQ(stats.wait(0), WaitResult::Signaled);
    EXPECT_TRUE(stats.release());
    EXPECT_TRUE(a.release());
}

TEST_F(NamedMutexTest, WaiterGetsTheGateWhenTheHolderReleases)
{
    NamedMutex a("gate");
    ASSERT_EQ(a.wait(0), WaitResult::Signaled);
    std::atomic<int> result{-1};
    std::thread waiter([&] {
        NamedMutex c("gate");
        result = static_cast<int>(c.wait(0xFFFFFFFFu));
        c.release();
    });
    EXPECT_TRUE(a.release());
    waiter.join();
    EXPECT_EQ(result.load(), static_cast<int>(WaitResult::Signaled));
}

TEST_F(NamedMutexTest, ThreadEndingWhileHoldingFreesTheGate)
{
    std::thread([] {
        NamedMutex c("left-behind");
        EXPECT_EQ(c.wait(0), WaitResult::Signaled);
    }).join();
    NamedMutex a("left-behind");
    EXPECT_EQ(a.wait(0), WaitResult::Signaled);
    EXPECT_TRUE(a.release());
}

TEST_F(NamedMutexTest, NamesReachAcrossProcesses)
{
    Child child = holder("OIFC_MAIN");
    ASSERT_EQ(child.read_line(), "locked");

    NamedMutex mine("OIFC_MAIN");
    EXPECT_EQ(mine.wait(0), WaitResult::Timeout);
    EXPECT_EQ(mine.wait(20), WaitResult::Timeout);  // a short wait that runs out

    child.send("release\n");
    ASSERT_EQ(child.read_line(), "released");
    EXPECT_EQ(mine.wait(0), WaitResult::Signaled);

    // Now the other process finds it taken.
    Child second = holder("OIFC_MAIN");
    EXPECT_EQ(second.read_line(), "busy");
    EXPECT_TRUE(mine.release());
}

TEST_F(NamedMutexTest, KilledHolderNeverBlocks)
{
    Child child = holder("MutexToProtectm_Section");
    ASSERT_EQ(child.read_line(), "locked");
    NamedMutex mine("MutexToProtectm_Section");
    EXPECT_EQ(mine.wait(0), WaitResult::Timeout);

    child.kill_hard();
    const int status = child.wait();
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(mine.wait(0), WaitResult::Signaled);
    EXPECT_TRUE(mine.release());
}

TEST_F(NamedMutexTest, WaitingForeverOnAnotherProcessEndsWhenItDies)
{
    Child child = holder("forever");
    ASSERT_EQ(child.read_line(), "locked");
    NamedMutex mine("forever");
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = static_cast<int>(mine.wait(0xFFFFFFFFu)); });
    child.kill_hard();
    child.wait();
    waiter.join();
    EXPECT_EQ(result.load(), static_cast<int>(WaitResult::Signaled));
}

TEST_F(NamedMutexTest, AnyNameIsUsableAndStaysInsideTheRuntimeDirectory)
{
    NamedMutex odd("../a/b\\c:*?");
    ASSERT_TRUE(odd.valid());
    EXPECT_EQ(odd.wait(0), WaitResult::Signaled);
    EXPECT_TRUE(odd.release());
    for (const auto &entry : std::filesystem::directory_iterator(dir_.path() + "/kestrow"))
        EXPECT_EQ(entry.path().parent_path(), std::filesystem::path(dir_.path() + "/kestrow"));

    // A runtime directory that others may write to is not used.
    ::setenv("XDG_RUNTIME_DIR", (dir_.path() + "/open").c_str(), 1);
    std::filesystem::create_directories(dir_.path() + "/open/kestrow");
    std::filesystem::permissions(dir_.path() + "/open/kestrow", std::filesystem::perms::all);
    NamedMutex unsafe("elsewhere");
    EXPECT_FALSE(unsafe.valid());
    EXPECT_EQ(unsafe.wait(0), WaitResult::Failed);
}

} // namespace
