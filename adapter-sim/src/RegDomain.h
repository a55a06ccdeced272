// The channels a regulatory domain lets the adapter use.  The adapter hears
// and joins networks only on these channels and scans them in this order.
#pragma once

#include <cstdint>
#include <vector>

namespace adapter_sim {

class RegDomain {
public:
    explicit RegDomain(std::uint32_t code);

    std::uint32_t code() const { return m_code; }
    // Channels in scan order: 2.4 GHz first, then 5 GHz.
    const std::vector<int> &channels() const { return m_channels; }
    bool allows(int channel) const;

    // Whether `channel` is an 802.11 b/g or a channel number at all.
    static bool is_known_channel(int channel);

private:
    std::uint32_t m_code;
    std::vector<int> m_channels;
};

} // namespace adapter_sim
