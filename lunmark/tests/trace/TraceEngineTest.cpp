#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TraceTestUtil.h"
#include "trace/ModemStreamDispatcher.h"
#include "trace/TraceEngine.h"

using namespace lunmark;
using namespace lunmark::test;

namespace {

struct Delivery {
    std::uint16_t id;
    std::uint32_t bytes;
    std::vector<std::uint32_t> words;
};

std::vector<Delivery> g_deliveries;
std::vector<std::string> g_lines;
std::vector<std::uint32_t> g_output;
int g_fw_calls = 0;

void modem1(std::uint16_t id, std::uint32_t bytes)
{
    g_deliveries.push_back({id, bytes, {g_output.begin(), g_output.begin() + bytes / 4}});
}
void fw_debug(std::uint8_t, std::uint8_t, std::uint16_t, std::uint32_t, std::uint32_t, std::uint32_t,
              std::uint32_t)
{
    ++g_fw_calls;
}
void fw_text(lunmark_bstr* line)
{
    g_lines.push_back(text_of(line));
}

// A driver whose next poll answers `block` (then nothing).
struct FakeLink : TraceLink {
    std::vector<std::uint32_t> block;
    bool answer = true;
    bool reconnect_ok = true;
    int reconnects = 0, connects = 0, disconnects = 0, closes = 0;
    bool reconnect() override { ++reconnects; return reconnect_ok; }
    void notify_connect() override { ++connects; }
    void notify_disconnect(std::uint32_t reason) override { EXPECT_EQ(reason, 50u); ++disconnects; }
    void close() override { ++closes; }
    bool poll(void* into, std::uint32_t length, std::uint32_t* written) override
    {
        EXPECT_EQ(length, 8192u);
        if (!answer)
            return false;
        auto* words = static_cast<std::uint32_t*>(into);
        EXPECT_EQ(words[0], 0u);
        EXPECT_EQ(words[1], 3u);
        const std::vector<std::uint32_t> data = std::exchange(block, {});
        for (std::size_t i = 0; i < data.size() && i < 2048; ++i)
            words[i] = data[i];
        *written = static_cast<std::uint32_t>(data.size() * 4);
        return true;
    }
};

class TraceEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_deliveries.clear();
        g_lines.clear();
        g_fw_calls = 0;
        g_output.assign(64, 0);
        engine->set_output(g_output.data(), static_cast<std::uint32_t>(g_output.size()));
    }
    std::unique_ptr<TraceEngine> engine = std::make_unique<TraceEngine>();
    TraceEngine::Clock::time_point t0{std::chrono::seconds(100)};
};

} // namespace

TEST_F(TraceEngineTest, ModemBlocksAreFoundAndDeliveredCutToTheOutput)
{
    engine->set_modem_1_cb(modem1);
    // Words before the first start mark are skipped; block 8 has no end
    // yet: it stays whole in the stream until its end comes.
    put(engine->modem1(), {1, 2, 3, 0xBABE0007u, 10, 20, 30, 0xBABE0008u});
    for (std::uint32_t i = 0; i < 100; ++i)
        engine->modem1().append32(i);
    engine->process_streams();
    ASSERT_EQ(g_deliveries.size(), 1u);
    EXPECT_EQ(g_deliveries[0].id, 7);
    EXPECT_EQ(g_deliveries[0].words, (std::vector<std::uint32_t>{10, 20, 30}));
    put(engine->modem1(), {0xBABE0009u});
    pad(engine->modem1(), 64);
    engine->process_streams();
    ASSERT_EQ(g_deliveries.size(), 2u);
    EXPECT_EQ(g_deliveries[1].bytes, 64u * 4); // cut at the output's capacity
    EXPECT_EQ(g_output[63], 63u);

    // A block that fills a fresh stream without an end is delivered, cut.
    engine = std::make_unique<TraceEngine>();
    SetUp();
    engine->set_modem_1_cb(modem1);
    put(engine->modem1(), {0xBABE0003u});
    while (engine->modem1().append32(1)) {
    }
    engine->process_streams();
    ASSERT_EQ(g_deliveries.size(), 1u);
    EXPECT_EQ(g_deliveries[0].bytes, 64u * 4);
    EXPECT_EQ(engine->modem1().length(), 256u);
}

TEST_F(TraceEngineTest, TickPollsParsesAndWatchesTheLink)
{
    FakeLink link;
    engine->set_firmware_debug_cb(fw_debug);
    engine->set_firmware_str_debug_cb(fw_text);
    link.block = {fw_header(0x1234, 5, 2), 10, 255};
    link.block.resize(2048, 0xFFFFFFFFu);

    engine->tick(link, t0);
    EXPECT_EQ(link.reconnects, 1);
    EXPECT_EQ(link.connects, 1);
    EXPECT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_fw_calls, 1);

    // Link lost: one disconnect notice and a close; reconnects then at
    // most once per second.
    link.answer = false;
    link.reconnect_ok = false;
    engine->tick(link, t0 + std::chrono::milliseconds(10));
    EXPECT_EQ(link.disconnects, 1);
    EXPECT_EQ(link.closes, 1);
    EXPECT_FALSE(engine->link_up());
    engine->tick(link, t0 + std::chrono::milliseconds(1000));
    EXPECT_EQ(link.reconnects, 1);
    engine->tick(link, t0 + std::chrono::milliseconds(1001));
    EXPECT_EQ(link.reconnects, 2);

    // The poll gets through again (its own reopen worked): the recovery is
    // reported once (and the failed reconnects reported none).
    link.answer = true;
    engine->tick(link, t0 + std::chrono::milliseconds(1500));
    EXPECT_TRUE(engine->link_up());
    EXPECT_EQ(link.connects, 2);
    engine->tick(link, t0 + std::chrono::milliseconds(1600));
    EXPECT_EQ(link.connects, 2);
}
