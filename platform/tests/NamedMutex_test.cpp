#include "platform/NamedMutex.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <csignal>
#include <filesystem>

#include "ChildProcess.h"
#include "TempDir.h"

namespace {

using platform::NamedMutex;
using platform::WaitResult;

// Every test gets its own runtime directory, which the helper processes
// inherit through the environment.
class NamedMutexTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_RUNTIME_DIR", dir_.Path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }

    // Starts the helper holding (or trying) the mutex `name`, talked to by
    // lines; its first line ("locked" or "busy").
    std::string Hold(ktest::ChildProcess &child, const std::string &name)
    {
        std::string error;
        EXPECT_TRUE(child.Start({PLATFORM_TEST_HELPER, "mutex", name}, &error, {}, false, true)) << error;
        return Line(child);
    }
    static std::string Line(ktest::ChildProcess &child)
    {
        std::string line;
        return child.ReadLine(&line, std::chrono::seconds(60)) ? line : "(nothing)";
    }

    ktest::TempDir dir_;
};

TEST_F(NamedMutexTest, TestReleaseAndReentryWithinAProcess)
{
    NamedMutex a("MutexToProtectm_Section");
    NamedMutex b("MutexToProtectm_Section");
    ASSERT_TRUE(a.valid());

    EXPECT_FALSE(a.release());  // not owned yet
    EXPECT_EQ(a.wait(0), WaitResult::Signaled);
    EXPECT_EQ(b.wait(0), WaitResult::Signaled);  // same name, same thread: re-entry

    // Another thread of this process waits `timeout` ms, then releases:
    // what each gave.
    WaitResult other = WaitResult::Failed;
    bool other_release = true;
    const auto from_another_thread = [&](std::uint32_t timeout) {
        NamedMutex c("MutexToProtectm_Section");
        other = c.wait(timeout);
        other_release = c.release();
    };
    std::thread(from_another_thread, 0).join();
    EXPECT_EQ(other, WaitResult::Timeout);
    EXPECT_FALSE(other_release);
    EXPECT_TRUE(a.release());
    std::thread(from_another_thread, 0).join();
    EXPECT_EQ(other, WaitResult::Timeout);  // still held once more

    // A thread waiting for good gets it with the last release.
    std::thread waiter(from_another_thread, 0xFFFFFFFFu);
    EXPECT_TRUE(b.release());
    EXPECT_FALSE(b.release());
    waiter.join();
    EXPECT_EQ(other, WaitResult::Signaled);
    EXPECT_TRUE(other_release);

    // Another name is another gate.
    NamedMutex stats("MutexToProtectm_StatsSection");
    EXPECT_EQ(a.wait(0), WaitResult::Signaled);
    EXPECT_EQ(stats.wait(0), WaitResult::Signaled);
    EXPECT_TRUE(stats.release());
    EXPECT_TRUE(a.release());
}

TEST_F(NamedMutexTest, NamesReachAcrossProcesses)
{
    ktest::ChildProcess child;
    ASSERT_EQ(Hold(child, "OIFC_MAIN"), "locked");

    NamedMutex mine("OIFC_MAIN");
    EXPECT_EQ(mine.wait(0), WaitResult::Timeout);
    EXPECT_EQ(mine.wait(20), WaitResult::Timeout);  // a short wait that runs out

    child.Send("release\n");
    ASSERT_EQ(Line(child), "released");
    EXPECT_EQ(mine.wait(0), WaitResult::Signaled);

    // Now the other process finds it taken.
    ktest::ChildProcess second;
    EXPECT_EQ(Hold(second, "OIFC_MAIN"), "busy");
    EXPECT_TRUE(mine.release());
}

// A holder killed outright frees the name at once, for a waiter already
// waiting for good as for the next try.
TEST_F(NamedMutexTest, KilledHolderNeverBlocks)
{
    ktest::ChildProcess child;
    ASSERT_EQ(Hold(child, "forever"), "locked");
    NamedMutex mine("forever");
    EXPECT_EQ(mine.wait(0), WaitResult::Timeout);
    std::atomic<int> result{-1};
    std::thread waiter([&] {
        NamedMutex other("forever");
        result = static_cast<int>(other.wait(0xFFFFFFFFu));
        other.release();
    });
    EXPECT_TRUE(WIFSIGNALED(child.Kill(SIGKILL)));
    waiter.join();
    EXPECT_EQ(result.load(), static_cast<int>(WaitResult::Signaled));
    EXPECT_EQ(mine.wait(0), WaitResult::Signaled);
    EXPECT_TRUE(mine.release());
}

TEST_F(NamedMutexTest, AnyNameIsUsableAndStaysInsideTheRuntimeDirectory)
{
    NamedMutex odd("../a/b\\c:*?");
    ASSERT_TRUE(odd.valid());
    EXPECT_EQ(odd.wait(0), WaitResult::Signaled);
    EXPECT_TRUE(odd.release());
    for (const auto &entry : std::filesystem::directory_iterator(dir_.Path() + "/kestrow"))
        EXPECT_EQ(entry.path().parent_path(), std::filesystem::path(dir_.Path() + "/kestrow"));

    // A runtime directory that others may write to is not used.
    ::setenv("XDG_RUNTIME_DIR", (dir_.Path() + "/open").c_str(), 1);
    std::filesystem::create_directories(dir_.Path() + "/open/kestrow");
    std::filesystem::permissions(dir_.Path() + "/open/kestrow", std::filesystem::perms::all);
    NamedMutex unsafe("elsewhere");
    EXPECT_FALSE(unsafe.valid());
    EXPECT_EQ(unsafe.wait(0), WaitResult::Failed);
}

} // namespace
