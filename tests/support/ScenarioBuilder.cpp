#include "ScenarioBuilder.h"

#include "Scenario.h"

namespace ktest {

ScenarioBuilder &ScenarioBuilder::Seed(int seed)
{
    return Set("seed", seed);
}

ScenarioBuilder &ScenarioBuilder::Adapter(const std::string &name)
{
    m_Text += "[adapter " + name + "]\n";
    return *this;
}

ScenarioBuilder &ScenarioBuilder::Network(const std::string &ssid, const std::string &bssid, int channel)
{
    m_Text += "[network]\n";
    return Set("ssid", Quote(ssid)).Set("bssid", bssid).Set("channel", channel).Set("drift", 0);
}

ScenarioBuilder &ScenarioBuilder::Set(const std::string &key, const std::string &value)
{
    m_Text += key + " = " + value + "\n";
    return *this;
}

ScenarioBuilder &ScenarioBuilder::Set(const std::string &key, long long value)
{
    return Set(key, std::to_string(value));
}

std::string ScenarioBuilder::Quote(const std::string &text)
{
    return adapter_sim::quote_ssid(text);
}

std::string ScenarioBuilder::OneOpenNetwork()
{
    return ScenarioBuilder()
        .Seed(7)
        .Adapter("sim0")
        .Set("scan_time", 1)
        .Network("KestrowNet", "00:11:22:33:44:55", 6)
        .Set("phy", "g")
        .Set("signal", -61)
        .Text();
}

} // namespace ktest
