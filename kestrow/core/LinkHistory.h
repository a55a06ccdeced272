// CLinkHistory: the last ten minutes of the link, one sample per polling
// tick, for the Statistics page's plot: the signal in dBm (none while not
// connected) and the receive and send throughput.  A fixed ring: adding a
// sample never allocates, and the oldest sample goes once it is full.
//
// Not thread-safe: one thread adds, and readers get a copy from the owner
// (the owner guards it).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrow {

struct CLinkSample {
    std::optional<int> signalDbm;  // none: not connected
    std::int32_t rxKBps = 0;
    std::int32_t txKBps = 0;
};

class CLinkHistory {
public:
    // Ten minutes at the polling thread's one tick a second.
    static constexpr std::size_t kCapacity = 600;

    void Add(const CLinkSample &sample);
    void Clear();
    std::size_t Size() const { return m_nSize; }
    // Sample `i`, 0 the oldest kept; i < Size().
    const CLinkSample &At(std::size_t i) const;
    // Oldest first.
    std::vector<CLinkSample> Samples() const;

private:
    std::array<CLinkSample, kCapacity> m_Ring{};
    std::size_t m_nNext = 0;  // where the next sample goes
    std::size_t m_nSize = 0;
};

} // namespace kestrow
