#include "TrafficCounters.h"

#include <lunmark_wire/socket_protocol.h>

namespace adapter_sim {

namespace {
// Of every 20 frames, 1 is broadcast, 2 are multicast and 17 are directed.
constexpr std::uint64_t kCycle = 20;
int kind_of(std::uint64_t frame) {
    const std::uint64_t k = frame % kCycle;
    return k == 0 ? 2 : (k <= 2 ? 1 : 0);
}
} // namespace

TrafficCounters::TrafficCounters(std::uint32_t start) {
    for (auto &c : m_c)
        c = start;
}

void TrafficCounters::clear() {
    for (auto &c : m_c)
        c = 0;
}

void TrafficCounters::count(std::uint64_t first, std::uint64_t n, std::uint32_t size,
                            std::size_t base) {
    std::uint64_t frames[3] = {0, 0, 0};
    const std::uint64_t cycles = n / kCycle;
    frames[0] = cycles * 17;
    frames[1] = cycles * 2;
    frames[2] = cycles;
    for (std::uint64_t f = first + cycles * kCycle; f < first + n; ++f)
        ++frames[kind_of(f)];
    for (std::size_t k = 0; k < 3; ++k) {
        // Counters wrap: only the low 32 bits of each sum are kept.
        m_c[base + 2 * k] += static_cast<std::uint32_t>(frames[k] * size);
        m_c[base + 2 * k + 1] += static_cast<std::uint32_t>(frames[k]);
    }
}

void TrafficCounters::run(std::int64_t dt_ms, const TrafficModel &model, bool peers, bool weak) {
    if (dt_ms <= 0)
        return;
    const auto dt = static_cast<std::uint64_t>(dt_ms);
    // Without peers only beacons go out: ten a second, 100 bytes each.
    const std::uint64_t tx_pps = peers ? model.tx_pps : 10;
    const std::uint32_t tx_size = peers ? model.tx_size : 100;
    const std::uint64_t rx_pps = peers ? model.rx_pps : 0;

    m_tx.milli += tx_pps * dt;
    const std::uint64_t tx = m_tx.milli / 1000;
    m_tx.milli %= 1000;
    m_rx.milli += rx_pps * dt;
    const std::uint64_t rx = m_rx.milli / 1000;
    m_rx.milli %= 1000;

    if (peers) {
        count(m_tx.index, tx, tx_size, 5);
    } else {
        // Beacons are broadcast frames.
        m_c[9] += static_cast<std::uint32_t>(tx * tx_size);
        m_c[10] += static_cast<std::uint32_t>(tx);
    }
    count(m_rx.index, rx, model.rx_size, 11);
    m_tx.index += tx;
    m_rx.index += rx;
    m_c[0] += static_cast<std::uint32_t>(tx);
    m_c[1] += static_cast<std::uint32_t>(rx);
    if (weak) {
        // A weak link loses about one frame in fifty each way.
        m_c[2] += static_cast<std::uint32_t>(tx / 50);
        m_c[3] += static_cast<std::uint32_t>(rx / 50);
    }
}

void TrafficCounters::encode(std::uint8_t *data) const {
    for (std::size_t i = 0; i < kSize / 4; ++i)
        lunmark_wire::put_u32(data + 4 * i, m_c[i]);
}

} // namespace adapter_sim
