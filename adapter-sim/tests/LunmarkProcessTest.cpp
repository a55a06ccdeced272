// The real adapter-sim program reached through liblunmark: the search skips
// an adapter that does not answer the probe and settles on the one that
// does.  What the requests do is tested on the engine in process, and end
// to end through kestrowctl.
#include "AdapterSim.h"
#include "ScenarioBuilder.h"

#include <lunmark/lunmark.h>
#include <lunmark_wire/socket_protocol.h>

#include <gtest/gtest.h>

TEST(LunmarkProcessTest, SearchSkipsAnAdapterThatIgnoresTheProbe) {
    ktest::AdapterSim sim;
    sim.ExportEnvironment();
    ASSERT_TRUE(sim.Start(ktest::ScenarioBuilder()
                              .Adapter("aaa-foreign")
                              .Set("answers_probe", "no")
                              .Adapter("sim1")
                              .Network("Home", "00:1A:70:3C:21:08", 6)
                              .Text()));
    ASSERT_EQ(ecom_connect("SEARCH"), LUNMARK_OK);
    std::string log;
    ASSERT_TRUE(sim.Ctl("log", &log, "aaa-foreign"));
    EXPECT_NE(log.find("VERSION read 0xc00000bb probe-ignored"), std::string::npos) << log;

    // A request now reaches sim1 and is answered.
    std::uint8_t record[LUNMARK_RECORD_SIZE] = {};
    lunmark_wire::put_u32(record, 0x590); // association state
    ASSERT_EQ(ecom_exec_oid(record), LUNMARK_OK);
    EXPECT_EQ(lunmark_wire::get_u32(record + 4), LUNMARK_STATUS_DONE);
    ASSERT_TRUE(sim.Ctl("log", &log, "sim1"));
    EXPECT_NE(log.find("cmd 0x0590"), std::string::npos) << log;
    ecom_disconnect();
}
