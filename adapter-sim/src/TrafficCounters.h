// The adapter's traffic counters (command data of 0x370), grown by a simple
// traffic model while the adapter is connected.  Every counter is 32-bit
// and wraps around.
//
// Layout (data offsets, u32 little-endian):
//    0 frames sent          4 frames received
//    8 send errors         12 receive errors        16 receive frames dropped
//   20 directed bytes sent     24 directed frames sent
//   28 multicast bytes sent    32 multicast frames sent
//   36 broadcast bytes sent    40 broadcast frames sent
//   44 directed bytes received 48 directed frames received
//   52 multicast bytes recv.   56 multicast frames received
//   60 broadcast bytes recv.   64 broadcast frames received
#pragma once

#include "Scenario.h"

#include <cstddef>
#include <cstdint>

namespace adapter_sim {

class TrafficCounters {
public:
    static constexpr std::size_t kSize = 68;

    explicit TrafficCounters(std::uint32_t start = 0);

    // Adds `dt_ms` of traffic.  `peers` is false for an ad hoc network the
    // adapter started alone: it sends its beacons but receives nothing.
    // `weak` marks a signal weak enough to cost some frames.
    void run(std::int64_t dt_ms, const TrafficModel &model, bool peers, bool weak);
    void clear();
    void encode(std::uint8_t *data) const;

    std::uint32_t sent() const { return m_c[0]; }
    std::uint32_t received() const { return m_c[1]; }

private:
    struct Side {
        std::uint64_t milli = 0; // frames times 1000 not yet counted
        std::uint64_t index = 0; // running frame number, picks the kind
    };
    // Counts `n` frames of `size` bytes starting at frame number `first`
    // into the byte/frame counters at word index `base` (directed,
    // multicast, broadcast pairs).
    void count(std::uint64_t first, std::uint64_t n, std::uint32_t size, std::size_t base);

    std::uint32_t m_c[kSize / 4];
    Side m_tx, m_rx;
};

} // namespace adapter_sim
