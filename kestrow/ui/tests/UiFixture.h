// What every window test starts from: a private registry and a private
// adapter directory with its adapter-sim (started by the test when it needs
// one), a fresh application object, and the message boxes recorded.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "AdapterSim.h"
#include "KestrowApp.h"
#include "ProfileMngr.h"
#include "RecordingMessageSink.h"
#include "ScenarioBuilder.h"
#include "StationMngr.h"
#include "TempDir.h"
#include "platform/Registry.h"

namespace kestrow::test {

// Adapter "sim0" with `adapterKeys` (scenario lines) and two open networks:
// "KestrowNet" (802.11g, channel 6, -61 dBm), "LegacyB" (802.11b, channel
// 11, -75 dBm).
inline std::string TwoNetworks(const std::string &adapterKeys = {})
{
    using ktest::ScenarioBuilder;
    return ScenarioBuilder().Seed(7).Adapter("sim0").Set("scan_time", 1).Text() + adapterKeys +
           ScenarioBuilder()
               .Network("KestrowNet", "00:11:22:33:44:55", 6).Set("phy", "g").Set("signal", -61)
               .Network("LegacyB", "00:11:22:33:44:66", 11).Set("phy", "b").Set("signal", -75)
               .Text();
}

using Texts = std::vector<std::string>;  // message box texts

inline CProfileMngr &Store() { return *theApp().ProfileMngr(); }

class CUiFixture {
public:
    CUiFixture() : sim(dir.File("adapters"))
    {
        sim.ExportEnvironment();
        ::setenv("LUNMARK_DATA_DIR", KESTROW_TEST_LUNMARK_DATA, 1);
        platform::Registry::set_current_user_path(RegistryPath());
        ResetTheApp();
    }
    // Shuts a started application down and frees the managers a test set.
    ~CUiFixture()
    {
        theApp().Shutdown();
        theApp().SetStationMngr(nullptr);
        theApp().SetProfileMngr(nullptr);
        theApp().DisconnectDriver();
        sim.Stop();
        ResetTheApp();
    }

    bool Start(const std::string &scenario = TwoNetworks()) { return sim.Start(scenario); }
    // The message box texts shown since the last call.
    Texts TakeMessages()
    {
        Texts texts = sink.Texts();
        sink.shown.clear();
        return texts;
    }
    std::string RegistryPath() const { return dir.File("registry.sqlite3"); }

    ktest::TempDir dir;
    ktest::AdapterSim sim;
    ktest::RecordingMessageSink sink;
};

} // namespace kestrow::test
