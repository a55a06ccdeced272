// Scenario files: the shipped ones load and hold what they promise, and a
// bad one is reported as FILE:LINE: problem.
#include "Scenario.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace adapter_sim;

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
