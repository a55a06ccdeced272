// The trace block: it parses into the expected units with a reader that
// follows the block's wire format, and the shipped INI and XML files name
// every message and module the generator uses.
#include "SimTestUtil.h"

#include "Clock.h"
#include "TraceGenerator.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

using namespace adapter_sim;
using namespace sim_test;

namespace {

struct FwMessage {
    std::uint8_t module, count;
    std::uint16_t id;
    std::uint32_t p1, p2;
};

struct DecodedBlock {
    std::vector<FwMessage> messages;
    std::vector<std::uint32_t> modem[2];
    std::size_t padding = 0;
    bool error = false;
};

// A test-only reader of one trace block.
DecodedBlock decode(const std::uint8_t *b, std::size_t size) {
    DecodedBlock out;
    std::size_t pos = 0;
    while (pos + 4 <= size) {
        const std::uint8_t kind = b[pos + 2];
        if (kind < 0x3E) {
            FwMessage m{b[pos + 2], b[pos + 3], w::get_u16(b + pos), 0, 0};
            if (m.count > 2 || pos + 4 + 4u * m.count > size) {
                out.error = true;
                return out;
            }
            if (m.count >= 1)
                m.p1 = w::get_u32(b + pos + 4);
            if (m.count >= 2)
                m.p2 = w::get_u32(b + pos + 8);
            out.messages.push_back(m);
            pos += 4 + 4u * m.count;
        } else if (kind == 0x3E || kind == 0x3F) {
            const std::uint16_t n = w::get_u16(b + pos);
            if (b[pos + 3] != 0 || n > 64 || pos + 4 + 4u * n > size) {
                out.error = true;
                return out;
            }
            for (std::size_t i = 0; i < n; ++i)
                out.modem[kind - 0x3E].push_back(w::get_u32(b + pos + 4 + 4 * i));
            pos += 4 + 4u * n;
        } else {
            ++out.padding;
            pos += 4;
        }
    }
    return out;
}

DecodedBlock poll(Adapter &ad) {
    Bytes reply;
    Bytes buf(w::kTraceBlockSize);
    w::put_u32(buf.data(), 0);
    w::put_u32(buf.data() + 4, 3);
    ad.handle_message(make_request(w::kOidPrivateTrace, buf), reply);
    const auto r = w::decode_reply(reply);
    EXPECT_TRUE(r);
    EXPECT_EQ(r->status, 0u);
    EXPECT_EQ(r->bytes_written, w::kTraceBlockSize);
    return decode(r->data.data(), r->data.size());
}

std::string read_file(const std::string &path) {
    std::ifstream in(path);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

TEST(TraceTest, BlockParsesIntoMessagesModemBlocksAndPadding) {
    auto sc = parse_scenario("[adapter t]\n[network]\nssid = Home\nbssid = 00:00:00:00:00:01\n"
                             "channel = 6\nsecurity = wep\nwep_key = 0 0011223344\ndrift = 0\n",
                             "t.scn");
    ASSERT_TRUE(sc.scenario) << sc.error;
    FakeClock clock;
    SimStats stats;
    RadioEnvironment air(sc.scenario->networks, 1);
    TempDir dir;
    Adapter ad(sc.scenario->adapters[0], air, clock, stats);

    DecodedBlock b = poll(ad);
    ASSERT_FALSE(b.error);
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(b.messages[0].module, trace::kModHost);
    EXPECT_EQ(b.messages[0].id, trace::kMsgFirmwareStarted);

    exec(ad, cmd::kScanStart);
    clock.advance(2000);
    exec(ad, cmd::kScanResults);
    connect_batch(ad, wep("Home", 0, {0, 0x11, 0x22, 0x33, 0x44}));
    ASSERT_TRUE(is_connected(ad));
    ad.drop_link();

    b = poll(ad);
    ASSERT_FALSE(b.error);
    std::vector<std::pair<int, int>> seen;
    for (const auto &m : b.messages)
        seen.emplace_back(m.module, m.id);
    const std::vector<std::pair<int, int>> expected = {
        {trace::kModScan, trace::kMsgScanStart}, {trace::kModScan, trace::kMsgScanDone},
        {trace::kModSec, trace::kMsgKeySet},     {trace::kModMlme, trace::kMsgJoin},
        {trace::kModMlme, trace::kMsgAssociated}, {trace::kModLink, trace::kMsgLinkLost}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(b.messages[1].p1, 1u);    // one network found
    EXPECT_EQ(b.messages[4].p1, 6u);    // on channel 6
    EXPECT_EQ(static_cast<std::int32_t>(b.messages[4].p2), -60);
    EXPECT_EQ(b.messages[5].p1, trace::kLostDropped);

    // Each modem stream gets one block per poll, starting with its header.
    for (int s = 0; s < 2; ++s) {
        ASSERT_FALSE(b.modem[s].empty());
        EXPECT_EQ(b.modem[s][0] >> 16, 0xBABEu);
        EXPECT_EQ(b.modem[s][0] & 0xFFFF, 1u); // second block of this stream
        for (std::size_t i = 1; i < b.modem[s].size(); ++i)
            EXPECT_NE(b.modem[s][i] >> 16, 0xBABEu);
    }
    EXPECT_GT(b.padding, 1500u);

    // Nothing left to report: the next block has no messages.
    EXPECT_TRUE(poll(ad).messages.empty());
}

TEST(TraceTest, DataFilesNameEveryMessageAndModule) {
    const std::string ini = read_file(ADAPTER_SIM_SOURCE_DIR "/data/zentil_ReportMessages.ini");
    const std::string xml = read_file(ADAPTER_SIM_SOURCE_DIR "/data/ZarurUdo.xml");
    ASSERT_FALSE(ini.empty());
    ASSERT_FALSE(xml.empty());
    struct M {
        int count, module, id;
    };
    const M messages[] = {
        {2, trace::kModHost, trace::kMsgFirmwareStarted}, {0, trace::kModHost, trace::kMsgStatsCleared},
        {1, trace::kModHost, trace::kMsgMiscMessage},     {2, trace::kModHost, trace::kMsgEepromWrite},
        {1, trace::kModScan, trace::kMsgScanStart},       {2, trace::kModScan, trace::kMsgScanDone},
        {1, trace::kModMlme, trace::kMsgJoin},            {2, trace::kModMlme, trace::kMsgAssociated},
        {1, trace::kModMlme, trace::kMsgAssocFailed},     {1, trace::kModMlme, trace::kMsgIbssStarted},
        {2, trace::kModSec, trace::kMsgKeySet},           {0, trace::kModSec, trace::kMsgKeysCleared},
        {1, trace::kModLink, trace::kMsgLinkLost},        {2, trace::kModModem, trace::kMsgRegWrite},
    };
    for (const M &m : messages) {
        char key[16];
        std::snprintf(key, sizeof key, "\n%02x%02x%04x=\"", m.count, m.module, m.id);
        EXPECT_NE(ini.find(key), std::string::npos) << "INI lacks " << key + 1;
    }
    // The module list must be the file's first element (the reader takes
    // only that one) and name every tag.
    EXPECT_EQ(xml.rfind("<ZarurUdo>", 0), 0u);
    for (int tag = 1; tag <= 6; ++tag)
        EXPECT_NE(xml.find("tag=\"" + std::to_string(tag) + "\"/>"), std::string::npos) << tag;
}
