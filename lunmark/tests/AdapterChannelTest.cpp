// The adapter channel on its own: the Windows 95 family path with its
// pauses and handle renewal.
#include "AdapterChannel.h"
#include "FakeW32n.h"

#include <lunmark/lunmark.h>
#include <lunmark_wire/command_frame.h>

#include <gtest/gtest.h>

#include <vector>

using fake_w32n::Outcome;

namespace {

// Records the pauses instead of sleeping.
class RecordingChannel : public lunmark::AdapterChannel {
public:
    std::vector<std::uint32_t> pauses;

protected:
    void sleep_ms(std::uint32_t ms) override { pauses.push_back(ms); }
};

// One command request on `ch`.
bool exec(lunmark::AdapterChannel &ch) {
    static std::vector<std::uint8_t> record(LUNMARK_RECORD_SIZE);
    return ch.exec_command(record.data(), lunmark::AdapterChannel::kCommandMagic);
}

} // namespace

TEST(AdapterChannelTest, Windows95FamilyPausesAndRenewsItsHandle) {
    fake_w32n::reset();
    fake_w32n::set_adapters({{"a"}});
    fake_w32n::set_windows95(true);
    RecordingChannel ch;
    ASSERT_TRUE(ch.is_windows95());
    ASSERT_TRUE(ch.open("a")); // the fake opens "a" there, without a device prefix

    ASSERT_TRUE(exec(ch));
    EXPECT_EQ(ch.pauses, std::vector<std::uint32_t>{30});

    // A failure: close, pause, reopen, retry.
    ch.pauses.clear();
    fake_w32n::script({Outcome{W32N_ERR_IO, {}}});
    ASSERT_TRUE(exec(ch));
    EXPECT_EQ(ch.pauses, (std::vector<std::uint32_t>{100, 30}));

    // The reopen reset the counter; the 99th request after it renews the
    // handle: close, pause 30, a failed request on the closed handle, pause
    // 100, reopen, retry.
    ch.pauses.clear();
    fake_w32n::clear_calls();
    for (int i = 1; i <= 99; ++i)
        ASSERT_TRUE(exec(ch));
    const std::vector<std::uint32_t> tail(ch.pauses.end() - 3, ch.pauses.end());
    EXPECT_EQ(tail, (std::vector<std::uint32_t>{30, 100, 30}));
    const auto requests = fake_w32n::requests();
    ASSERT_EQ(requests.size(), 100u);
    EXPECT_EQ(requests[98].handle, W32N_INVALID_HANDLE);

    // A short answer: close and pause 100.
    ch.pauses.clear();
    fake_w32n::script({Outcome{0, 4}});
    EXPECT_FALSE(exec(ch));
    EXPECT_EQ(ch.pauses, std::vector<std::uint32_t>{100});
    EXPECT_EQ(ch.handle(), W32N_INVALID_HANDLE);
}

TEST(AdapterChannelTest, OtherSystemsNeverPause) {
    fake_w32n::reset();
    fake_w32n::set_adapters({{"a"}});
    RecordingChannel ch;
    ASSERT_TRUE(ch.open("a")); // as "\\Device\\a"
    fake_w32n::script({Outcome{W32N_ERR_IO, {}}, Outcome{0, 0}});
    EXPECT_FALSE(exec(ch));
    for (int i = 0; i < 120; ++i)
        ASSERT_TRUE(exec(ch));
    EXPECT_TRUE(ch.pauses.empty());
}
