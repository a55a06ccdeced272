// In-process tests of the adapter engine: answer layouts, association
// rules, scan timing, counters, registers, EEPROM, robustness.
#include "SimTestUtil.h"

#include "Clock.h"
#include "Scenario.h"

#include <gtest/gtest.h>

#include <latch>
#include <memory>
#include <random>
#include <thread>

using namespace adapter_sim;
using namespace sim_test;

namespace {

// One [network] section: SSID, last BSSID byte pair, channel, signal, and
// extra key lines.
std::string net(const std::string &ssid, const std::string &bssid_tail, int channel, int signal,
                const std::string &extra = "") {
    return "[network]\nssid = " + ssid + "\nbssid = 00:00:00:00:" + bssid_tail + "\nchannel = " +
           std::to_string(channel) + "\nsignal = " + std::to_string(signal) + "\ndrift = 0\n" + extra;
}

const std::string kScenario =
    "seed = 99\n[adapter t0]\nmac = 00:0E:2E:00:00:01\nreg_domain = 0x10\n"
    "driver_version = 5.6.7.8\nfirmware = 0x11112222 0x33334444\nnvm = 0x0102 0x0304\n"
    "traffic = 100 200 500 1000\nreg7 = 0x0010 0xCAFE0001\n" +
    net("Open", "00:01", 1, -50) + net("Campus", "01:01", 1, -74) + net("Campus", "01:06", 6, -58) +
    net("Campus", "01:0B", 11, -70) +
    net("Wep40", "02:01", 9, -82, "phy = b\nsecurity = wep\nwep_key = 1 A1B2C3D4E5\n") +
    net("\"Secret\"", "03:01", 11, -60, "hidden = yes\n") + net("A5", "04:01", 36, -64, "phy = a\n") +
    net("Party", "05:01", 3, -70, "mode = adhoc\nphy = b\n") + net("Euro", "06:01", 13, -40);

// The test scenario with one more line in its adapter section.
std::string with_adapter_key(const std::string &line) {
    std::string s = kScenario;
    const std::string head = "[adapter t0]\n";
    return s.insert(s.find(head) + head.size(), line + "\n");
}

const Bytes kWep40Key = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { load(kScenario); }

    void load(const std::string &text) {
        auto r = parse_scenario(text, "engine.scn");
        ASSERT_TRUE(r.scenario) << r.error;
        m_sc = *r.scenario;
        adapter.reset();
        air = std::make_unique<RadioEnvironment>(m_sc.networks, m_sc.seed);
        adapter = std::make_unique<Adapter>(m_sc.adapters.at(0), *air, clock, stats);
        std::string error;
        ASSERT_TRUE(adapter->open_eeprom(dir.Path(), error)) << error;
    }

    TempDir dir;
    FakeClock clock;
    SimStats stats;
    Scenario m_sc;
    std::unique_ptr<RadioEnvironment> air;
    std::unique_ptr<Adapter> adapter;
};

Bytes bssid_of(const Answer &a) { return Bytes(a.data(), a.data() + 6); }

} // namespace

TEST_F(EngineTest, GoodFrameComesBackWholeWithStatus) {
    const Bytes sent = make_frame(cmd::kRegDomain);
    Bytes reply;
    adapter->handle_message(make_request(w::kOidPrivateCommand, sent), reply);
    const Answer a = decode_answer(reply);
    EXPECT_EQ(a.ndis, 0u);
    ASSERT_EQ(a.written, w::kFrameSize);
    // Header and trailer come back as sent; the record carries the answer.
    EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + 16, a.frame.begin()));
    EXPECT_EQ(w::get_u32(a.frame.data() + w::kFrameTrailerOffset), 0xAA55AA11u);
    EXPECT_EQ(w::get_u32(a.frame.data() + 12), cmd::kRegDomain);
    EXPECT_EQ(a.status, 2u);
    EXPECT_EQ(a.u32(0), 0x10u);

    EXPECT_EQ(exec(*adapter, 0x7777).status, status::kUnknown);
}

TEST_F(EngineTest, MalformedFramesAndMessagesFailWithoutBytes) {
    struct Case {
        const char *what;
        std::function<void(Bytes &)> spoil;
        std::uint32_t ndis;
    };
    const Case cases[] = {
        {"signature", [](Bytes &f) { f[0] ^= 1; }, w::kStatusInvalidData},
        {"payload length", [](Bytes &f) { w::put_u16(f.data() + 4, 15375); }, w::kStatusInvalidData},
        {"magic", [](Bytes &f) { f[8] ^= 0x80; }, w::kStatusInvalidData},
        {"complement", [](Bytes &f) { f[w::kFrameTrailerOffset] ^= 1; }, w::kStatusInvalidData},
        {"short frame", [](Bytes &f) { f.pop_back(); }, w::kStatusInvalidLength},
        {"long frame", [](Bytes &f) { f.push_back(0); }, w::kStatusInvalidLength},
    };
    for (const Case &c : cases) {
        Bytes f = make_frame(cmd::kMacRead);
        c.spoil(f);
        Bytes reply;
        adapter->handle_message(make_request(w::kOidPrivateCommand, f), reply);
        const auto r = w::decode_reply(reply);
        ASSERT_TRUE(r) << c.what;
        EXPECT_EQ(r->status, c.ndis) << c.what;
        EXPECT_EQ(r->bytes_written, 0u) << c.what;
    }
    Bytes reply;
    Bytes msg = make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead));
    msg[0] ^= 0xFF; // request magic
    adapter->handle_message(msg, reply);
    EXPECT_EQ(w::decode_reply(reply)->status, w::kStatusInvalidData);
    // Refusals carry the request's sequence back too; a request of protocol
    // version 1 is refused.
    msg = make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead), 0, 77);
    msg.resize(msg.size() - 100); // truncated: length field larger than the message
    adapter->handle_message(msg, reply);
    EXPECT_EQ(w::decode_reply(reply)->status, w::kStatusInvalidData);
    EXPECT_EQ(w::decode_reply(reply)->sequence, 77u);
    msg = make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead), 0, 78);
    w::put_u32(msg.data() + 4, 1);
    adapter->handle_message(msg, reply);
    EXPECT_EQ(w::decode_reply(reply)->status, w::kStatusInvalidData);
    EXPECT_NE(adapter->log().text().find("wrong-version"), std::string::npos);
    adapter->handle_message(make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead), 1), reply);
    EXPECT_EQ(w::decode_reply(reply)->status, w::kStatusNotSupported);
    adapter->handle_message(make_request(0x0001010Cu, Bytes(6)), reply);
    EXPECT_EQ(w::decode_reply(reply)->status, w::kStatusNotSupported);
    EXPECT_EQ(adapter->malformed(), 9u);
    // A trace poll needs the whole 8192-byte block.
    adapter->handle_message(make_request(w::kOidPrivateTrace, Bytes(8191)), reply);
    EXPECT_EQ(w::decode_reply(reply)->status, w::kStatusInvalidLength);
    EXPECT_EQ(w::decode_reply(reply)->bytes_needed, 8192u);
}

TEST_F(EngineTest, RandomBytesNeverStopTheNextGoodRequest) {
    std::mt19937 rng(1234);
    const Bytes good = make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead));
    for (int i = 0; i < 3000; ++i) {
        Bytes msg;
        switch (i % 3) {
        case 0: // pure noise of any length
            msg.resize(rng() % 400);
            for (auto &b : msg)
                b = static_cast<std::uint8_t>(rng());
            break;
        case 1: // a good message with a few bytes flipped
            msg = good;
            for (int k = 0; k < 4; ++k)
                msg[rng() % 64] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            break;
        default: // a good message cut short, or a trace poll of random size
            msg = (rng() & 1) ? Bytes(good.begin(), good.begin() + rng() % good.size())
                              : make_request(w::kOidPrivateTrace, Bytes(rng() % 9000));
            break;
        }
        Bytes reply;
        adapter->handle_message(msg, reply);
        ASSERT_TRUE(w::decode_reply(reply));
    }
    const Answer a = exec(*adapter, cmd::kMacRead);
    EXPECT_EQ(a.status, 2u);
    EXPECT_EQ(bssid_of(a), Bytes({0x00, 0x0E, 0x2E, 0x00, 0x00, 0x01}));
}

TEST_F(EngineTest, IdentityBlockAndProbeRefusal) {
    const Answer v = exec(*adapter, cmd::kVersion);
    ASSERT_EQ(v.status, 2u);
    EXPECT_EQ(v.u32(8), 5u);
    EXPECT_EQ(v.u32(12), 6u);
    EXPECT_EQ(v.u32(16), 7u);
    EXPECT_EQ(v.u32(20), 8u);
    EXPECT_EQ(v.u32(32), 0x11112222u);
    EXPECT_EQ(v.u32(36), 0x33334444u);
    EXPECT_EQ(v.u32(148), 0x0102u);
    EXPECT_EQ(v.u32(0), 0x0304u);

    load(kScenario + "\n[adapter t1]\nanswers_probe = no\n");
    adapter = std::make_unique<Adapter>(m_sc.adapters.at(1), *air, clock, stats);
    const Answer p = exec(*adapter, cmd::kVersion);
    EXPECT_EQ(p.ndis, w::kStatusNotSupported);
    EXPECT_EQ(p.written, 0u);
}

TEST_F(EngineTest, JoinsTheStrongestMatchingBssAndAnswersLikeARealAdapter) {
    EXPECT_FALSE(is_connected(*adapter));
    EXPECT_EQ(exec(*adapter, cmd::kBssid).status, status::kNotAssociated);
    ASSERT_TRUE(connect_batch(*adapter, infra("Campus")));
    ASSERT_TRUE(is_connected(*adapter));

    EXPECT_EQ(bssid_of(exec(*adapter, cmd::kBssid)), Bytes({0, 0, 0, 0, 1, 6}));
    const Answer ssid = exec(*adapter, cmd::kSsidRead);
    EXPECT_EQ(ssid.data()[0], 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(ssid.data() + 1), 6), "Campus");
    const Answer ch = exec(*adapter, cmd::kChannelRead);
    EXPECT_EQ(ch.u32(0), 12u);
    EXPECT_EQ(ch.data()[8], 6);
    EXPECT_EQ(ch.u32(12), 0u);
    EXPECT_EQ(exec(*adapter, cmd::kPhyRead).u32(0), 2u);
    EXPECT_EQ(exec(*adapter, cmd::kNetModeRead).u32(0), 1u);
    EXPECT_EQ(exec(*adapter, cmd::kSecurityRead).u32(0), 0u);
    EXPECT_EQ(exec(*adapter, cmd::kConnectModeRead).u32(0), 2u);
    // -58 dBm: 54 Mbit/s and 37 dB over the -95 dBm noise floor.
    EXPECT_EQ(exec(*adapter, cmd::kNetRate).u32(0), 54000000u);
    EXPECT_EQ(static_cast<std::int32_t>(exec(*adapter, cmd::kSnr).u32(0)), 37);

    // Only the write codes and the key record count as writes in the log.
    const std::string log = adapter->log().text();
    EXPECT_NE(log.find("cmd 0x0080 SSID write 2 \"Campus\""), std::string::npos) << log;
    EXPECT_NE(log.find("cmd 0x0050 BSSID read 4"), std::string::npos) << log;
}

TEST_F(EngineTest, WepNeedsTheRightKeyAtTheActiveIndex) {
    ASSERT_TRUE(connect_batch(*adapter, wep("Wep40", 1, kWep40Key)));
    EXPECT_TRUE(is_connected(*adapter));
    // 802.11b at -82 dBm: 5.5 Mbit/s.
    EXPECT_EQ(exec(*adapter, cmd::kNetRate).u32(0), 5500000u);
    const Answer key = exec(*adapter, cmd::kWepKey); // zero record: a read
    EXPECT_EQ(key.data()[0], 1);
    EXPECT_EQ(key.data()[1], 5);
    EXPECT_EQ(key.u32(4), 1u);
    EXPECT_EQ(Bytes(key.data() + 8, key.data() + 13), kWep40Key);

    Bytes wrong = kWep40Key;
    wrong[4] ^= 1;
    ASSERT_TRUE(connect_batch(*adapter, wep("Wep40", 1, wrong)));
    EXPECT_FALSE(is_connected(*adapter));
    ASSERT_TRUE(connect_batch(*adapter, wep("Wep40", 0, kWep40Key)));
    EXPECT_FALSE(is_connected(*adapter));
    ASSERT_TRUE(connect_batch(*adapter, infra("Wep40"))); // open to a WEP network
    EXPECT_FALSE(is_connected(*adapter));
    ASSERT_TRUE(connect_batch(*adapter, wep("Open", 1, kWep40Key)));
    EXPECT_FALSE(is_connected(*adapter));
}

TEST_F(EngineTest, UnknownHiddenForeignChannelAndAdHoc) {
    ASSERT_TRUE(connect_batch(*adapter, infra("Nowhere")));
    EXPECT_FALSE(is_connected(*adapter));
    // A hidden network is joined by its name.
    ASSERT_TRUE(connect_batch(*adapter, infra("Secret")));
    EXPECT_TRUE(is_connected(*adapter));
    // Channel 13 is not heard in the FCC domain.
    ASSERT_TRUE(connect_batch(*adapter, infra("Euro")));
    EXPECT_FALSE(is_connected(*adapter));

    // An ad hoc network that runs is joined on its channel...
    ASSERT_TRUE(connect_batch(*adapter, adhoc("Party", 10)));
    EXPECT_TRUE(is_connected(*adapter));
    EXPECT_EQ(exec(*adapter, cmd::kChannelRead).data()[8], 3);
    EXPECT_EQ(bssid_of(exec(*adapter, cmd::kBssid)), Bytes({0, 0, 0, 0, 5, 1}));
    // ...one nobody runs is started on the channel asked for.
    ASSERT_TRUE(connect_batch(*adapter, adhoc("Solo", 4)));
    EXPECT_TRUE(is_connected(*adapter));
    EXPECT_EQ(exec(*adapter, cmd::kChannelRead).data()[8], 4);
    EXPECT_EQ(exec(*adapter, cmd::kBssid).data()[0] & 0x02, 0x02); // locally administered
    // ...but not on a channel the domain forbids.
    ASSERT_TRUE(connect_batch(*adapter, adhoc("Solo", 14)));
    EXPECT_FALSE(is_connected(*adapter));
    // Writes with impossible values are refused.
    EXPECT_EQ(exec(*adapter, cmd::kNetModeWrite, [](std::uint8_t *d) { w::put_u32(d, 5); }).status,
              status::kRejected);
    EXPECT_EQ(exec(*adapter, cmd::kSsidWrite, [](std::uint8_t *d) { d[0] = 33; }).status,
              status::kRejected);
}

TEST_F(EngineTest, ScanTakesTwoSecondsAndFillsTheResultBlock) {
    const Answer none = exec(*adapter, cmd::kScanResults);
    EXPECT_EQ(none.data()[0], 0);
    EXPECT_EQ(none.data()[1], 0);

    ASSERT_EQ(exec(*adapter, cmd::kScanStart).status, 2u);
    Answer a = exec(*adapter, cmd::kScanResults);
    EXPECT_EQ(a.data()[0], 1);
    EXPECT_EQ(a.data()[1], 0);
    // FCC: 11 + 8 + 5 channels; after a quarter of the time channels 1..6
    // are done: Open and Campus on 1, Campus on 6.
    clock.advance(500);
    a = exec(*adapter, cmd::kScanResults);
    EXPECT_EQ(a.data()[0], 1);
    EXPECT_EQ(a.data()[1], 3);
    clock.advance(1499);
    EXPECT_EQ(exec(*adapter, cmd::kScanResults).data()[0], 1);
    clock.advance(1);
    a = exec(*adapter, cmd::kScanResults);
    ASSERT_EQ(a.data()[0], 0);
    // Infrastructure: Open, Campus x3, Wep40, Secret, A5 (Euro on 13 unheard).
    ASSERT_EQ(a.data()[1], 7);
    ASSERT_EQ(a.data()[7684], 1);

    const std::uint8_t *e = a.data() + 4; // first entry: Open on channel 1
    EXPECT_EQ(Bytes(e + 2, e + 8), Bytes({0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(e[53], 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(e + 54), 4), "Open");
    EXPECT_EQ(w::get_u32(e + 88), 2u);
    EXPECT_EQ(e[96], 1);
    EXPECT_EQ(e[99], 0);
    EXPECT_EQ(static_cast<std::int32_t>(w::get_u32(e + 104)), -50);
    bool saw_hidden = false, saw_wep = false;
    for (int i = 0; i < 7; ++i) {
        const std::uint8_t *x = a.data() + 4 + i * 384;
        saw_hidden |= x[53] == 0 && x[96] == 11 && x[2 + 4] == 3;
        saw_wep |= x[99] == 1 && w::get_u32(x + 88) == 1 && x[96] == 9;
    }
    EXPECT_TRUE(saw_hidden);
    EXPECT_TRUE(saw_wep);
    const std::uint8_t *ad = a.data() + 7688;
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(ad + 54), ad[53]), "Party");
    EXPECT_EQ(ad[96], 3);
}

TEST_F(EngineTest, ScanListsAreCappedAtTwenty) {
    std::string text = "[adapter t0]\n";
    for (int i = 0; i < 25; ++i)
        text += "[network]\nssid = N" + std::to_string(i) + "\nbssid = 00:00:00:00:09:" +
                (i < 10 ? "0" : "") + std::to_string(i) + "\nchannel = 6\n";
    load(text);
    exec(*adapter, cmd::kScanStart);
    clock.advance(2000);
    const Answer a = exec(*adapter, cmd::kScanResults);
    EXPECT_EQ(a.data()[1], 20);
    EXPECT_EQ(a.data()[7684], 0);
}

TEST_F(EngineTest, CountersGrowWhileConnectedWrapAndClear) {
    clock.advance(5000);
    EXPECT_EQ(exec(*adapter, cmd::kStatistics).u32(0), 0u);
    ASSERT_TRUE(connect_batch(*adapter, infra("Open")));
    ASSERT_TRUE(is_connected(*adapter));
    clock.advance(1000);
    Answer s = exec(*adapter, cmd::kStatistics);
    EXPECT_EQ(s.u32(0), 100u);
    EXPECT_EQ(s.u32(4), 200u);
    // 100 frames of 500 bytes: 85 directed, 10 multicast, 5 broadcast.
    EXPECT_EQ(s.u32(20) + s.u32(28) + s.u32(36), 50000u);
    EXPECT_EQ(s.u32(24), 85u);
    EXPECT_EQ(s.u32(44) + s.u32(52) + s.u32(60), 200000u);
    ASSERT_EQ(exec(*adapter, cmd::kResetStats).status, 2u);
    EXPECT_EQ(exec(*adapter, cmd::kStatistics).u32(0), 0u);

    load(with_adapter_key("counter_start = 4294967290"));
    ASSERT_TRUE(connect_batch(*adapter, infra("Open")));
    ASSERT_TRUE(is_connected(*adapter));
    clock.advance(100);
    s = exec(*adapter, cmd::kStatistics);
    EXPECT_EQ(s.u32(0), 4u);  // 4294967290 + 10 frames, wrapped
    EXPECT_EQ(s.u32(4), 14u); // + 20 frames
    const std::uint32_t bytes = s.u32(20);
    EXPECT_LT(bytes, 5000u); // wrapped as well
}

TEST_F(EngineTest, ScheduledAndProvokedLinkLoss) {
    load(with_adapter_key("link_drop_at = 3000"));
    ASSERT_TRUE(connect_batch(*adapter, infra("Open")));
    clock.advance(2999);
    EXPECT_TRUE(is_connected(*adapter));
    clock.advance(1);
    EXPECT_FALSE(is_connected(*adapter));
    // Writing the connect batch again reconnects.
    ASSERT_TRUE(connect_batch(*adapter, infra("Open")));
    EXPECT_TRUE(is_connected(*adapter));
    adapter->drop_link();
    EXPECT_FALSE(is_connected(*adapter));

    ASSERT_TRUE(connect_batch(*adapter, infra("Campus")));
    EXPECT_EQ(exec(*adapter, cmd::kChannelRead).data()[8], 6);
    air->remove_ssid("Campus");
    EXPECT_FALSE(is_connected(*adapter));
    air->restore_ssid("Campus");
    ASSERT_TRUE(connect_batch(*adapter, infra("Campus")));
    EXPECT_TRUE(is_connected(*adapter));
}

TEST_F(EngineTest, SignalDriftIsSlowBoundedAndSeeded) {
    NetworkSpec n;
    n.signal_dbm = -60;
    n.drift_db = 4;
    RadioEnvironment a({n}, 1), b({n}, 1), c({n}, 2);
    bool differs = false;
    int prev = a.signal_at(0, 0);
    for (std::int64_t t = 0; t < 120000; t += 250) {
        const int s = a.signal_at(0, t);
        EXPECT_EQ(s, b.signal_at(0, t));
        EXPECT_GE(s, -64);
        EXPECT_LE(s, -56);
        EXPECT_LE(std::abs(s - prev), 1) << "at " << t; // slow: at most 1 dB per 250 ms
        prev = s;
        differs |= s != c.signal_at(0, t);
    }
    EXPECT_TRUE(differs);
}

TEST_F(EngineTest, RegisterBanks) {
    auto rd = [&](std::uint8_t sel, std::uint32_t addr) {
        return exec(*adapter, cmd::kModemRead, [&](std::uint8_t *d) {
            d[0] = sel;
            w::put_u32(d + 4, addr);
        });
    };
    EXPECT_EQ(rd(7, 0x10).u32(8), 0xCAFE0001u);
    ASSERT_EQ(exec(*adapter, cmd::kModemWrite, [](std::uint8_t *d) {
                  d[0] = 9;
                  w::put_u32(d + 4, 0x40);
                  w::put_u32(d + 8, 0xDEADBEEF);
              }).status,
              2u);
    EXPECT_EQ(rd(9, 0x40).u32(8), 0xDEADBEEFu);
    EXPECT_EQ(rd(7, 0x40).u32(8), 0u); // the banks are separate
    EXPECT_EQ(rd(8, 0x40).status, status::kRejected);
    EXPECT_EQ(rd(7, 0x41).status, status::kRejected);
    EXPECT_EQ(rd(7, 0x10000).status, status::kRejected);
}

TEST_F(EngineTest, EepromPersistsAndRefusesOutsideTheImage) {
    auto io = [&](std::uint32_t code, std::uint32_t off, const Bytes &data, std::uint32_t len) {
        return exec(*adapter, code, [&](std::uint8_t *d) {
            std::copy(data.begin(), data.end(), d);
            w::put_u32(d + 10240, off);
            w::put_u32(d + 10244, len);
        });
    };
    const Bytes pattern = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(io(cmd::kEepromWrite, 4088, pattern, 8).status, 2u);
    EXPECT_EQ(io(cmd::kEepromWrite, 4089, pattern, 8).status, status::kRejected);
    EXPECT_EQ(io(cmd::kEepromRead, 0, {}, 10241).status, status::kRejected);
    EXPECT_EQ(io(cmd::kEepromRead, 0xFFFFFFFFu, {}, 2).status, status::kRejected);
    // A fresh image carries the MAC address at offset 4.
    const Answer head = io(cmd::kEepromRead, 0, {}, 10);
    EXPECT_EQ(Bytes(head.data() + 4, head.data() + 10), Bytes({0x00, 0x0E, 0x2E, 0x00, 0x00, 0x01}));

    load(kScenario); // a new adapter on the same image file
    const Answer back = io(cmd::kEepromRead, 4088, {}, 8);
    ASSERT_EQ(back.status, 2u);
    EXPECT_EQ(Bytes(back.data(), back.data() + 8), pattern);
}

TEST_F(EngineTest, MiscMessagesAreLoggedAndBounded) {
    const Answer ok = exec(*adapter, cmd::kModemMisc, [](std::uint8_t *d) {
        d[0] = 0xAB;
        d[1] = 0xCD;
        w::put_u32(d + 512, 2);
    });
    EXPECT_EQ(ok.status, 2u);
    EXPECT_NE(adapter->log().text().find("MODEM_MISC write 2 2 abcd"), std::string::npos);
    EXPECT_EQ(exec(*adapter, cmd::kModemMisc, [](std::uint8_t *d) { w::put_u32(d + 512, 513); }).status,
              status::kRejected);
}

namespace {
// A clock whose sleep holds a request until a second one has arrived, so two
// requests are certainly inside the adapter together.
class MeetingClock : public IClock {
public:
    std::int64_t now_ms() const override { return 0; }
    void sleep_ms(std::int64_t) override { m_latch.arrive_and_wait(); }

private:
    std::latch m_latch{2};
};
} // namespace

TEST_F(EngineTest, OverlappingRequestsAreCounted) {
    MeetingClock meeting;
    AdapterSpec spec = m_sc.adapters.at(0);
    spec.latency_ms = 1;
    Adapter slow(spec, *air, meeting, stats);
    const Bytes msg = make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead));
    auto call = [&] {
        Bytes reply;
        slow.handle_message(msg, reply);
    };
    std::thread t1(call), t2(call);
    t1.join();
    t2.join();
    EXPECT_EQ(stats.overlaps.load(), 1u);
    EXPECT_EQ(stats.max_in_flight.load(), 2);
    EXPECT_EQ(stats.in_flight.load(), 0);
}
