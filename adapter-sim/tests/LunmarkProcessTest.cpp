// The real adapter-sim program driven through liblunmark: probe search,
// a connect batch of raw records, read-back, a scan and a dropped link.
// (Trace lines through the same path: lunmark-tool's trace test.)
#include "AdapterSim.h"
#include "ScenarioBuilder.h"
#include "SimTestUtil.h"

#include "ControlClient.h"

#include <lunmark/lunmark.h>

#include <gtest/gtest.h>

#include <chrono>

using namespace adapter_sim;
using namespace sim_test;

namespace {

const std::uint8_t kKey[13] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD,
                               0xEF, 0x01, 0x23, 0x45, 0x67, 0x89};

struct Record {
    std::uint8_t bytes[LUNMARK_RECORD_SIZE] = {};
    std::uint8_t *data() { return bytes + LUNMARK_RECORD_DATA_OFFSET; }
    std::uint32_t status() const { return w::get_u32(bytes + 4); }
};

// Sends one command through the library; the record holds the answer.
int run(Record &r, std::uint32_t code) {
    w::put_u32(r.bytes, code);
    return ecom_exec_oid(r.bytes);
}

} // namespace

TEST(LunmarkProcessTest, ConnectReadBackScanAndDrop) {
    ktest::AdapterSim sim;
    const std::string adir = sim.AdapterDir();
    sim.ExportEnvironment();
    ASSERT_TRUE(sim.Start(ktest::ScenarioBuilder()
                              .Adapter("aaa-foreign")
                              .Set("answers_probe", "no")
                              .Adapter("sim1")
                              .Set("scan_time", 400)
                              .Network("Home", "00:1A:70:3C:21:08", 6)
                              .Set("security", "wep")
                              .Set("wep_key", "2 0123456789ABCDEF0123456789")
                              .Network("Other", "00:1A:70:3C:21:09", 11)
                              .Text()));

    // The search skips the adapter that does not answer the probe.
    ASSERT_EQ(ecom_connect("SEARCH"), LUNMARK_OK);
    std::string reply, error;
    ASSERT_TRUE(ControlClient::send(ControlClient::resolve("aaa-foreign", adir), "log", reply, error)) << error;
    EXPECT_NE(reply.find("VERSION read 0xc00000bb probe-ignored"), std::string::npos) << reply;

    // The connect batch of raw records.
    Record r;
    w::put_u32(r.data(), 1);
    ASSERT_EQ(run(r, 0x220), 0);
    EXPECT_EQ(r.status(), 2u);
    w::put_u32(r.data(), 2);
    ASSERT_EQ(run(r, 0x470), 0);
    put_ssid(r.data(), "Home");
    ASSERT_EQ(run(r, 0x80), 0);
    w::put_u32(r.data(), 1);
    ASSERT_EQ(run(r, 0x430), 0);
    std::memset(r.data(), 0, 44);
    r.data()[0] = 2;
    r.data()[1] = 13;
    w::put_u32(r.data() + 4, 2);
    std::memcpy(r.data() + 8, kKey, 13);
    ASSERT_EQ(run(r, 0x400), 0);
    EXPECT_EQ(r.status(), 2u);

    Record c;
    ASSERT_EQ(run(c, 0x590), 0);
    EXPECT_EQ(c.data()[0], 1);
    Record s;
    ASSERT_EQ(run(s, 0x70), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(s.data() + 1), s.data()[0]), "Home");
    Record b;
    ASSERT_EQ(run(b, 0x50), 0);
    EXPECT_EQ(Bytes(b.data(), b.data() + 6), Bytes({0x00, 0x1A, 0x70, 0x3C, 0x21, 0x08}));
    Record ch;
    w::put_u32(ch.data(), 12);
    ASSERT_EQ(run(ch, 0x350), 0);
    EXPECT_EQ(ch.data()[8], 6);

    // A scan: results come while the flag says more are due, and the final
    // block lists both networks.
    Record start;
    ASSERT_EQ(run(start, 0x200), 0);
    Record res;
    ASSERT_EQ(run(res, 0x190), 0);
    EXPECT_EQ(res.data()[0], 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (res.data()[0] == 1 && std::chrono::steady_clock::now() < deadline)
        ASSERT_EQ(run(res, 0x190), 0);
    ASSERT_EQ(res.data()[0], 0);
    EXPECT_EQ(res.data()[1], 2);


    // After a dropped link the association query reports not connected.
    ASSERT_TRUE(ControlClient::send(ControlClient::resolve("sim1", adir), "drop-link", reply, error)) << error;
    ASSERT_EQ(run(c, 0x590), 0);
    EXPECT_EQ(c.data()[0], 0);
    ASSERT_EQ(run(b, 0x50), 0);
    EXPECT_NE(b.status(), 2u);

    ASSERT_TRUE(ControlClient::send(ControlClient::resolve("sim1", adir), "stats", reply, error)) << error;
    EXPECT_NE(reply.find("overlaps 0"), std::string::npos) << reply;
    ecom_disconnect();
}
