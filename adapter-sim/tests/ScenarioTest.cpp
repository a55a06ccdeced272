// Scenario files: the shipped ones load and hold what they promise, and a
// bad one is reported as FILE:LINE: problem.
#include "Scenario.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace adapter_sim;

TEST(ScenarioTest, DefaultScenarioIsARealisticNeighbourhood) {
    const auto r = load_scenario(ADAPTER_SIM_SOURCE_DIR "/scenarios/default.scn");
    ASSERT_TRUE(r.scenario) << r.error;
    const Scenario &sc = *r.scenario;
    ASSERT_EQ(sc.adapters.size(), 1u);
    EXPECT_GE(sc.networks.size(), 10u);
    EXPECT_LE(sc.networks.size(), 15u);
    bool open = false, wep40 = false, wep104 = false, hidden = false, a = false, adhoc = false,
         weak = false, non_ascii = false;
    std::map<std::string, std::set<int>> channels;
    for (const auto &n : sc.networks) {
        open |= !n.wep;
        for (const auto &k : n.keys) {
            wep40 |= k.size() == 5;
            wep104 |= k.size() == 13;
        }
        hidden |= n.hidden;
        a |= n.phy == Phy::A;
        adhoc |= n.adhoc;
        weak |= n.signal_dbm < -81;
        for (char c : n.ssid)
            non_ascii |= static_cast<unsigned char>(c) >= 0x80;
        channels[n.ssid].insert(n.channel);
    }
    EXPECT_TRUE(open && wep40 && wep104 && hidden && a && adhoc && weak && non_ascii);
    EXPECT_EQ(channels["Campus"].size(), 3u);
    EXPECT_TRUE(load_scenario(ADAPTER_SIM_SOURCE_DIR "/scenarios/two-adapters.scn").scenario);
}

TEST(ScenarioTest, SsidEscapesAndEmptyScenario) {
    EXPECT_EQ(parse_ssid("\"Caf\\xc3\\xa9 \\\"x\\\"\""), std::string("Caf\xc3\xa9 \"x\""));
    EXPECT_EQ(parse_ssid("plain"), std::string("plain"));
    EXPECT_FALSE(parse_ssid("\"\\x4\""));
    EXPECT_FALSE(parse_ssid(std::string(33, 'a')));
    EXPECT_EQ(quote_ssid(std::string("a\xff\"")), "\"a\\xff\\\"\"");
    const auto r = parse_scenario("# nothing but a comment\n", "e.scn");
    ASSERT_TRUE(r.scenario);
    EXPECT_EQ(r.scenario->adapters.size(), 1u); // one default adapter
}

TEST(ScenarioTest, ErrorsNameFileLineAndProblem) {
    struct Case {
        const char *text;
        const char *error;
    };
    const Case cases[] = {
        {"seed = 1\nbogus = 2\n", "s.scn:2: unknown key 'bogus' outside a section"},
        {"[adapter a]\nmac = 00:11:22\n", "s.scn:2: '00:11:22' is not a MAC address"},
        {"[adapter a]\n[adapter a]\n", "s.scn:2: adapter 'a' defined twice"},
        {"[adapter a/b]\n", "s.scn:1: adapter name may hold only"},
        {"[network]\nssid = x\nbssid = 00:00:00:00:00:01\n", "s.scn:1: network without channel"},
        {"[network]\nssid = x\nbssid = 00:00:00:00:00:01\nchannel = 15\n", "s.scn:4: channel 15 is not"},
        {"[network]\nssid = x\nbssid = 00:00:00:00:00:01\nchannel = 6\nphy = a\n",
         "s.scn:1: 802.11a network on 2.4 GHz channel 6"},
        {"[network]\nssid = x\nbssid = 00:00:00:00:00:01\nchannel = 6\nsecurity = wep\n",
         "s.scn:1: WEP network without wep_key"},
        {"[network]\nwep_key = 0 12345\n", "s.scn:2: a WEP key has 10"},
        {"[network]\nsignal = -5\n", "s.scn:2: '-5' is not a number from -110 to -10"},
        {"[adapter a]\nlatency\n", "s.scn:2: expected KEY = VALUE"},
        {"[adapter a\n", "s.scn:1: section header without closing ']'"},
        {"[network]\nssid = \"unterminated\n", "s.scn:2: bad ssid"},
    };
    for (const Case &c : cases) {
        const auto r = parse_scenario(c.text, "s.scn");
        EXPECT_FALSE(r.scenario) << c.text;
        EXPECT_EQ(r.error.rfind(c.error, 0), 0u) << "got: " << r.error;
    }
    EXPECT_EQ(load_scenario("/nonexistent/x.scn").error, "/nonexistent/x.scn:0: cannot open the scenario file");
}
