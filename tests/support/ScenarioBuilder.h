// Writes adapter-sim scenario text: global keys, adapters and networks, each
// key in the section last started.
//   ScenarioBuilder().Seed(7).Adapter("sim0").Set("scan_time", 20)
//       .Network("CoffeeCorner", "00:0F:66:21:A0:01", 1).Set("signal", -50).Text()
#pragma once

#include <string>

namespace ktest {

class ScenarioBuilder {
public:
    ScenarioBuilder &Seed(int seed);
    ScenarioBuilder &Adapter(const std::string &name);
    // A network section with its required keys; drift 0 unless set later.
    ScenarioBuilder &Network(const std::string &ssid, const std::string &bssid, int channel);
    ScenarioBuilder &Set(const std::string &key, const std::string &value);
    ScenarioBuilder &Set(const std::string &key, long long value);
    const std::string &Text() const { return m_Text; }

    // A double-quoted scenario string: backslash, quote and bytes outside
    // printable ASCII escaped.
    static std::string Quote(const std::string &text);
    // One adapter "sim0" (short scan) and the open 802.11g network
    // "KestrowNet" on channel 6 at a steady -61 dBm.
    static std::string OneOpenNetwork();

private:
    std::string m_Text;
};

} // namespace ktest
