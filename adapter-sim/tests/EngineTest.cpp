// In-process tests of the adapter engine: answer layouts, association
// rules, scan timing and the overlap counter the lock tests rely on.
#include "SimTestUtil.h"

#include "Clock.h"
#include "Scenario.h"
#include "ScenarioBuilder.h"

#include <gtest/gtest.h>

#include <latch>
#include <memory>
#include <thread>

using namespace adapter_sim;
using namespace sim_test;

namespace {

using ktest::ScenarioBuilder;

const std::string kScenario =
    ScenarioBuilder()
        .Seed(99)
        .Adapter("t0")
        .Set("reg_domain", "0x10")
        .Network("Open", "00:00:00:00:00:01", 1).Set("signal", -50)
        .Network("Campus", "00:00:00:00:01:01", 1).Set("signal", -74)
        .Network("Campus", "00:00:00:00:01:06", 6).Set("signal", -58)
        .Network("Campus", "00:00:00:00:01:0B", 11).Set("signal", -70)
        .Network("Wep40", "00:00:00:00:02:01", 9).Set("signal", -82).Set("phy", "b")
        .Set("security", "wep").Set("wep_key", "1 A1B2C3D4E5")
        .Network("Secret", "00:00:00:00:03:01", 11).Set("signal", -60).Set("hidden", "yes")
        .Network("A5", "00:00:00:00:04:01", 36).Set("signal", -64).Set("phy", "a")
        .Network("Party", "00:00:00:00:05:01", 3).Set("signal", -70).Set("mode", "adhoc").Set("phy", "b")
        .Network("Euro", "00:00:00:00:06:01", 13).Set("signal", -40)
        .Text();

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto r = parse_scenario(kScenario, "engine.scn");
        ASSERT_TRUE(r.scenario) << r.error;
        m_sc = *r.scenario;
        air = std::make_unique<RadioEnvironment>(m_sc.networks, m_sc.seed);
        adapter = std::make_unique<Adapter>(m_sc.adapters.at(0), *air, clock, stats);
        std::string error;
        ASSERT_TRUE(adapter->open_eeprom(dir.Path(), error)) << error;
    }

    ktest::TempDir dir;
    FakeClock clock;
    SimStats stats;
    Scenario m_sc;
    std::unique_ptr<RadioEnvironment> air;
    std::unique_ptr<Adapter> adapter;
};

} // namespace

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
    // The reply to `msg`, decoded (its data is not kept).
    const auto answer = [&](const Bytes &msg) {
        Bytes reply;
        adapter->handle_message(msg, reply);
        return w::decode_reply(reply).value_or(w::Reply{});
    };
    for (const Case &c : cases) {
        Bytes f = make_frame(cmd::kMacRead);
        c.spoil(f);
        const auto r = answer(make_request(w::kOidPrivateCommand, f));
        EXPECT_EQ(r.status, c.ndis) << c.what;
        EXPECT_EQ(r.bytes_written, 0u) << c.what;
    }
    Bytes msg = make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead));
    msg[0] ^= 0xFF; // request magic
    EXPECT_EQ(answer(msg).status, w::kStatusInvalidData);
    // Refusals carry the request's sequence back too; a request of protocol
    // version 1 is refused.
    msg = make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead), 0, 77);
    msg.resize(msg.size() - 100); // truncated: length field larger than the message
    const auto cut = answer(msg);
    EXPECT_EQ(cut.status, w::kStatusInvalidData);
    EXPECT_EQ(cut.sequence, 77u);
    msg = make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead), 0, 78);
    w::put_u32(msg.data() + 4, 1);
    EXPECT_EQ(answer(msg).status, w::kStatusInvalidData);
    EXPECT_NE(adapter->log().text().find("wrong-version"), std::string::npos);
    EXPECT_EQ(answer(make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead), 1)).status,
              w::kStatusNotSupported);
    EXPECT_EQ(answer(make_request(0x0001010Cu, Bytes(6))).status, w::kStatusNotSupported);
    EXPECT_EQ(adapter->malformed(), 9u);
    // A trace poll needs the whole 8192-byte block.
    const auto poll = answer(make_request(w::kOidPrivateTrace, Bytes(8191)));
    EXPECT_EQ(poll.status, w::kStatusInvalidLength);
    EXPECT_EQ(poll.bytes_needed, 8192u);
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

    // The first entry, Open on channel 1.  (The other fields are read end
    // to end by kestrowctl's scan.)
    const std::uint8_t *e = a.data() + 4;
    EXPECT_EQ(Bytes(e + 2, e + 8), Bytes({0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(e + 54), e[53]), "Open");
    EXPECT_EQ(e[96], 1);
    EXPECT_EQ(static_cast<std::int32_t>(w::get_u32(e + 104)), -50);
    const std::uint8_t *ad = a.data() + 7688;
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(ad + 54), ad[53]), "Party");
    EXPECT_EQ(ad[96], 3);
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
