// What every window test starts from: a private registry and a private
// adapter directory with its adapter-sim (started by the test when it needs
// one), a fresh application object, and the message boxes recorded.
#pragma once

#include <string>
#include <vector>

#include "AdapterSim.h"
#include "RecordingMessageSink.h"
#include "TempDir.h"

namespace kestrow::test {

// Adapter "sim0" with `adapterKeys` (scenario lines) and two open networks:
// "KestrowNet" (802.11g, channel 6, -61 dBm), "LegacyB" (802.11b, channel
// 11, -75 dBm).
std::string TwoNetworks(const std::string &adapterKeys = {});

class CUiFixture {
public:
    CUiFixture();
    // Shuts a started application down and frees the managers a test set.
    ~CUiFixture();
    CUiFixture(const CUiFixture &) = delete;
    CUiFixture &operator=(const CUiFixture &) = delete;

    bool Start(const std::string &scenario = TwoNetworks()) { return sim.Start(scenario); }
    bool Ctl(const std::string &command, std::string *reply = nullptr) { return sim.Ctl(command, reply); }
    // The message box texts shown since the last call.
    std::vector<std::string> TakeMessages();
    std::string RegistryPath() const { return dir.File("registry.sqlite3"); }

    ktest::TempDir dir;
    ktest::AdapterSim sim;
    ktest::RecordingMessageSink sink;
};

} // namespace kestrow::test
