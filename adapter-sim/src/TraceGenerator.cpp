#include "TraceGenerator.h"

#include <lunmark_wire/socket_protocol.h>

namespace adapter_sim {

using lunmark_wire::put_u16;
using lunmark_wire::put_u32;

void TraceGenerator::push(const Message &m) {
    if (m_queue.size() >= kMaxQueued) {
        // The firmware's trace buffer is full: the oldest message is lost.
        m_queue.pop_front();
        ++m_dropped;
    }
    m_queue.push_back(m);
}

void TraceGenerator::message(std::uint8_t module, std::uint16_t id) {
    push({module, 0, id, 0, 0});
}

void TraceGenerator::message(std::uint8_t module, std::uint16_t id, std::uint32_t p1) {
    push({module, 1, id, p1, 0});
}

void TraceGenerator::message(std::uint8_t module, std::uint16_t id, std::uint32_t p1,
                             std::uint32_t p2) {
    push({module, 2, id, p1, p2});
}

std::size_t TraceGenerator::put_modem(std::uint8_t *out, std::uint16_t type,
                                      std::uint16_t block_id, std::size_t words, int level_dbm) {
    put_u16(out, static_cast<std::uint16_t>(words));
    put_u16(out + 2, type);
    put_u32(out + 4, (std::uint32_t(trace::kModemHeaderMarker) << 16) | block_id);
    // Samples: a 15-bit running sample number in the upper half (never the
    // header marker) and a level reading in the lower half.
    const auto level = static_cast<std::uint16_t>(static_cast<std::int16_t>(level_dbm * 16));
    for (std::size_t i = 1; i < words; ++i) {
        const std::uint32_t n = m_sample++ & 0x7FFFu;
        const auto ripple = static_cast<std::uint16_t>((n * 37u) % 23u);
        put_u32(out + 4 + i * 4, (n << 16) | static_cast<std::uint16_t>(level + ripple));
    }
    return 4 + words * 4;
}

void TraceGenerator::fill_block(std::span<std::uint8_t, kBlockSize> out, int level_dbm) {
    const std::size_t modem_bytes = (4 + kModem1Words * 4) + (4 + kModem2Words * 4);
    const std::size_t msg_room = kBlockSize - modem_bytes;
    std::size_t pos = 0;
    while (!m_queue.empty()) {
        const Message &m = m_queue.front();
        const std::size_t len = 4 + 4u * m.count;
        if (pos + len > msg_room)
            break;
        std::uint8_t *p = out.data() + pos;
        put_u16(p, m.id);
        p[2] = m.module;
        p[3] = m.count;
        if (m.count >= 1)
            put_u32(p + 4, m.p1);
        if (m.count >= 2)
            put_u32(p + 8, m.p2);
        pos += len;
        m_queue.pop_front();
    }
    pos += put_modem(out.data() + pos, 0x003E, m_modem1_id++, kModem1Words, level_dbm);
    pos += put_modem(out.data() + pos, 0x003F, m_modem2_id++, kModem2Words, level_dbm);
    for (; pos + 4 <= kBlockSize; pos += 4)
        put_u32(out.data() + pos, trace::kPaddingWord);
}

} // namespace adapter_sim
