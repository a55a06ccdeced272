// The networks in range: which of them are on the air at a given time and
// how strong each one is.  Shared by every adapter of one simulator, since
// they all hear the same air.  Thread-safe.
#pragma once

#include "Scenario.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

namespace adapter_sim {

class RadioEnvironment {
public:
    // Weakest signal the adapter still decodes.
    static constexpr int kSensitivityDbm = -92;
    // Background noise level used for the signal-to-noise ratio.
    static constexpr int kNoiseFloorDbm = -95;
    // Signal drift moves between random levels this far apart in time.
    static constexpr std::int64_t kDriftPeriodMs = 4000;

    RadioEnvironment(std::vector<NetworkSpec> networks, std::uint64_t seed);

    std::size_t size() const { return m_nets.size(); }
    const NetworkSpec &network(std::size_t i) const { return m_nets[i]; }

    // Signal level of network i at time t, with its slow random drift.  The
    // drift depends only on the seed, the network and the time, so a run is
    // repeatable whatever order the questions come in.
    int signal_at(std::size_t i, std::int64_t t_ms) const;

    // Whether network i is on the air at time t (not removed, not yet
    // switched off by its scheduled disappearance).
    bool present(std::size_t i, std::int64_t t_ms) const;
    // Whether the adapter can hear network i at time t at all.
    bool audible(std::size_t i, std::int64_t t_ms) const {
        return present(i, t_ms) && signal_at(i, t_ms) >= kSensitivityDbm;
    }

    // Takes every network with this SSID off the air / puts it back (which
    // also cancels a scheduled disappearance).  Return how many matched.
    std::size_t remove_ssid(std::string_view ssid);
    std::size_t restore_ssid(std::string_view ssid);

private:
    double knot(std::size_t i, std::int64_t k) const;

    std::vector<NetworkSpec> m_nets;
    std::uint64_t m_seed;
    mutable std::mutex m_mutex;
    std::vector<bool> m_removed;
    std::vector<bool> m_restored;
};

} // namespace adapter_sim
