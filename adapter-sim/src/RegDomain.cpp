#include "RegDomain.h"

#include <algorithm>

namespace adapter_sim {

namespace {

void add_range(std::vector<int> &v, int first, int last, int step) {
    for (int c = first; c <= last; c += step)
        v.push_back(c);
}

// 5 GHz channels of the lower and middle bands, the European extension band,
// and the upper band.
void add_unii_low_mid(std::vector<int> &v) { add_range(v, 36, 64, 4); }
void add_etsi_ext(std::vector<int> &v) { add_range(v, 100, 140, 4); }
void add_unii_upper(std::vector<int> &v) { add_range(v, 149, 165, 4); }

} // namespace

RegDomain::RegDomain(std::uint32_t code) : m_code(code) {
    auto &v = m_channels;
    switch (code) {
    case 0x10: // FCC (US)
    case 0x20: // IC (Canada)
        add_range(v, 1, 11, 1);
        add_unii_low_mid(v);
        add_unii_upper(v);
        break;
    case 0x30: // ETSI (Europe)
        add_range(v, 1, 13, 1);
        add_unii_low_mid(v);
        add_etsi_ext(v);
        break;
    case 0x31: // Spain
        add_range(v, 10, 11, 1);
        add_unii_low_mid(v);
        break;
    case 0x32: // France
        add_range(v, 10, 13, 1);
        add_unii_low_mid(v);
        break;
    case 0x40: // Japan
        add_range(v, 1, 14, 1);
        add_range(v, 34, 46, 4);
        break;
    default: // unknown domain: the radio is not restricted
        add_range(v, 1, 14, 1);
        add_range(v, 34, 46, 4);
        add_range(v, 48, 64, 4);
        add_etsi_ext(v);
        add_unii_upper(v);
        break;
    }
}

bool RegDomain::allows(int channel) const {
    return std::find(m_channels.begin(), m_channels.end(), channel) != m_channels.end();
}

bool RegDomain::is_known_channel(int c) {
    if (c >= 1 && c <= 14)
        return true;
    if (c >= 34 && c <= 64)
        return c % 2 == 0 && (c <= 46 || c % 4 == 0);
    if (c >= 100 && c <= 140)
        return c % 4 == 0;
    if (c >= 149 && c <= 165)
        return (c - 149) % 4 == 0;
    return false;
}

} // namespace adapter_sim
