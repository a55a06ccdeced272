// The trace exports over the fake driver library: the timer thread, the
// lock held by ticks, re-entrant callbacks, stop and the link watching.
#include "TempDir.h"
#include "LunmarkFixture.h"
#include "TraceTestUtil.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace wire = lunmark_wire;

// What the callbacks saw, under g_mutex.
std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<std::string> g_lines;
int g_connects = 0;
std::vector<std::uint32_t> g_disconnects;
std::uint32_t g_modem_bytes = 0;
// What the line callback does besides.
std::atomic<bool> g_inside{false};
std::atomic<bool> g_stop_from_callback{false};
std::atomic<bool> g_reenter{false};
std::atomic<int> g_reentered{0};

template <class Pred> bool wait_for(Pred pred)
{
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_changed.wait_for(lock, 20s, pred);
}

// Records an event under the mutex and wakes the waiting test.
template <class F> void note(F record)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        record();
    }
    g_changed.notify_all();
}

void on_line(lunmark_bstr* line)
{
    g_inside = true;
    const std::string text = lunmark::test::text_of(line);
    if (g_reenter) {
        // Exports called again from the tick's own thread must not block.
        ecom_trace_register_modem_2_cb(nullptr);
        std::vector<std::uint8_t> record(LUNMARK_RECORD_SIZE, 0);
        EXPECT_EQ(ecom_exec_oid(record.data()), LUNMARK_OK);
        ++g_reentered;
    }
    if (g_stop_from_callback)
        ecom_trace_stop();
    note([&] { g_lines.push_back(text); });
    g_inside = false;
}

void on_connect() { note([] { ++g_connects; }); }
void on_disconnect(std::uint32_t reason) { note([reason] { g_disconnects.push_back(reason); }); }
void on_modem(std::uint16_t, std::uint32_t bytes) { note([bytes] { g_modem_bytes = bytes; }); }

// Every trace poll answers two firmware messages (id 0x0001, module 2, one
// parameter 7), a modem 1 block of 64 words holding a block of 40 words,
// and filler.
void driver(const std::string&, std::uint32_t oid, std::uint8_t* buffer, std::uint32_t length)
{
    if (oid == wire::kOidPrivateCommand && length >= wire::kFrameSize) {
        wire::put_u32(buffer + wire::kFrameRecordOffset + 4, 2);
        return;
    }
    if (oid != wire::kOidPrivateTrace)
        return;
    std::vector<std::uint32_t> words = {lunmark::test::fw_header(1, 2, 1), 7, lunmark::test::fw_header(1, 2, 1),
                                        7, lunmark::test::modem_header(64, 0x3E), 0xBABE0001u};
    for (std::uint32_t i = 0; i < 40; ++i)
        words.push_back(i);
    words.push_back(0xBABE0002u);
    words.resize(5 + 64, 0);
    for (std::uint32_t i = 0; i < length / 4; ++i)
        wire::put_u32(buffer + 4 * i, i < words.size() ? words[i] : 0xFFFFFFFFu);
}

class TraceExports : public LunmarkFixture {
protected:
    void SetUp() override
    {
        LunmarkFixture::SetUp();
        fake_w32n::set_adapters({{"wlan0"}});
        fake_w32n::set_responder(driver);
        std::lock_guard<std::mutex> lock(g_mutex);
        g_lines.clear();
        g_connects = 0;
        g_disconnects.clear();
        g_modem_bytes = 0;
        g_stop_from_callback = false;
        g_reenter = false;
        g_reentered = 0;
    }
    // Callbacks stay registered: they only record, and SetUp clears that.
    void TearDown() override { ecom_trace_stop(); }
    std::vector<std::uint32_t> output = std::vector<std::uint32_t>(64, 0);
};

} // namespace

TEST_F(TraceExports, TicksConnectDecodeWatchTheLinkAndStop)
{
    ktest::TempDir dir;
    ecom_trace_set_fw_string_resource_table(
        dir.Write("messages.ini", "[Core]\n01020001=\"value %d\"\n").c_str());
    ecom_register_notify_connect_cb(on_connect);
    ecom_register_notify_disconnect_cb(on_disconnect);
    ecom_trace_register_firmware_str_debug_cb(on_line);
    ecom_trace_register_modem_1_cb(on_modem);
    // Cut the 40-word block at 16 words.
    ecom_trace_start_ex(output.data(), 16, 10);
    ASSERT_TRUE(wait_for([] { return g_connects == 1 && !g_lines.empty(); })); // connected by search

    // The adapter goes away: the poll and its retry after a reopen fail,
    // the loss is reported, and the return of the adapter too.
    fake_w32n::set_adapters({});
    ASSERT_TRUE(wait_for([] { return !g_disconnects.empty(); }));
    fake_w32n::set_adapters({{"wlan0"}});
    ASSERT_TRUE(wait_for([] { return g_connects > 1; }));

    // Exports called again from inside a callback do not block.
    g_reenter = true;
    ASSERT_TRUE(wait_for([] { return g_reentered > 1 && g_modem_bytes != 0; }));
    ecom_trace_stop();
    EXPECT_FALSE(g_inside); // no tick runs once stop has returned
    std::lock_guard<std::mutex> lock(g_mutex);
    EXPECT_EQ(g_disconnects[0], 50u);
    EXPECT_EQ(g_connects, 2);
    EXPECT_EQ(g_lines[0], "[Unknown] \"value 7\" - (00000007)(000000000)");
    EXPECT_EQ(g_modem_bytes, 16u * 4);
    EXPECT_EQ(output[15], 15u);
}

TEST_F(TraceExports, StopFromACallbackAndRestart)
{
    ecom_trace_register_firmware_str_debug_cb(on_line);
    g_stop_from_callback = true;
    ecom_trace_start(output.data(), 10);
    ecom_trace_start(output.data(), 10); // replaces the first timer
    ASSERT_TRUE(wait_for([] { return !g_lines.empty(); }));
    ecom_trace_stop();
    // The stop in the first line's callback also ended that tick.
    EXPECT_TRUE(wait_for([] { return g_lines.size() == 1; }));

    g_stop_from_callback = false;
    ecom_trace_start(output.data(), 10);
    ASSERT_TRUE(wait_for([&] { return g_lines.size() > 1; }));
}

TEST_F(TraceExports, ForkedChildTracesOnItsOwnAndExits)
{
    ecom_trace_register_firmware_str_debug_cb(on_line);
    ecom_trace_start(output.data(), 10);
    ASSERT_TRUE(wait_for([] { return !g_lines.empty(); }));
    // The trace runs on, with a period that keeps its thread off the
    // library lock while the fork is made.
    ecom_trace_start(output.data(), 60000);
    std::fflush(nullptr);
    const pid_t child = fork_child();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool ok = true;
        ecom_trace_stop();
#ifndef __SANITIZE_THREAD__ // ThreadSanitizer stops a forked child that starts threads
        g_lines.clear();
        ecom_trace_start(output.data(), 10);
        ok = wait_for([] { return !g_lines.empty(); });
        ecom_trace_stop();
#endif
        std::exit(ok ? 0 : 1); // runs the timer's destructor
    }
    EXPECT_TRUE(child_succeeds(child));
}
