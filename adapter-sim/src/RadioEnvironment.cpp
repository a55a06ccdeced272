#include "RadioEnvironment.h"

#include <cmath>

namespace adapter_sim {

namespace {

std::uint64_t splitmix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

RadioEnvironment::RadioEnvironment(std::vector<NetworkSpec> networks, std::uint64_t seed)
    : m_nets(std::move(networks)), m_seed(seed), m_removed(m_nets.size(), false),
      m_restored(m_nets.size(), false) {}

double RadioEnvironment::knot(std::size_t i, std::int64_t k) const {
    const std::uint64_t h =
        splitmix64(m_seed ^ splitmix64((i + 1) * 0x632BE59BD9B4E019ull ^ static_cast<std::uint64_t>(k)));
    // Uniform in [-1, 1].
    return static_cast<double>(h >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

int RadioEnvironment::signal_at(std::size_t i, std::int64_t t_ms) const {
    const NetworkSpec &n = m_nets[i];
    if (n.drift_db == 0)
        return n.signal_dbm;
    const std::int64_t k = floor_div(t_ms, kDriftPeriodMs);
    const double frac = static_cast<double>(t_ms - k * kDriftPeriodMs) / kDriftPeriodMs;
    const double v = knot(i, k) * (1.0 - frac) + knot(i, k + 1) * frac;
    return n.signal_dbm + static_cast<int>(std::lround(v * n.drift_db));
}

bool RadioEnvironment::present(std::size_t i, std::int64_t t_ms) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_removed[i])
        return false;
    const NetworkSpec &n = m_nets[i];
    return m_restored[i] || n.disappear_at_ms < 0 || t_ms < n.disappear_at_ms;
}

std::size_t RadioEnvironment::remove_ssid(std::string_view ssid) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t count = 0;
    for (std::size_t i = 0; i < m_nets.size(); ++i)
        if (m_nets[i].ssid == ssid) {
            m_removed[i] = true;
            ++count;
        }
    return count;
}

std::size_t RadioEnvironment::restore_ssid(std::string_view ssid) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t count = 0;
    for (std::size_t i = 0; i < m_nets.size(); ++i)
        if (m_nets[i].ssid == ssid) {
            m_removed[i] = false;
            m_restored[i] = true;
            ++count;
        }
    return count;
}

} // namespace adapter_sim
