// The firmware's trace output: firmware debug messages queued as things
// happen (scan, association, keys, link loss, ...) and two modem trace
// streams, handed out as one 8192-byte block per trace poll.
//
// Block layout (little-endian 32-bit units):
//   firmware message: u16 id, u8 module tag (< 0x3E), u8 parameter count
//                     (0..2), then one word per parameter;
//   modem block:      u16 word count n (<= 64), u16 0x003E (modem 1) or
//                     0x003F (modem 2), then n words of that modem's stream;
//   padding:          0xFFFFFFFF words up to the end of the block (their
//                     byte 2 is no known unit kind, so a reader drops them).
// A modem stream is a run of words in which 0xBABEnnnn starts block nnnn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>

namespace adapter_sim {

namespace trace {
// Module tags (named in ZarurUdo.xml).
inline constexpr std::uint8_t kModHost = 0x01;
inline constexpr std::uint8_t kModScan = 0x02;
inline constexpr std::uint8_t kModMlme = 0x03;
inline constexpr std::uint8_t kModSec = 0x04;
inline constexpr std::uint8_t kModLink = 0x05;
inline constexpr std::uint8_t kModModem = 0x06;

// Message ids (formats in zentil_ReportMessages.ini, keyed by parameter
// count, module tag and id).
inline constexpr std::uint16_t kMsgFirmwareStarted = 0x0001; // HOST, 2: fw words
inline constexpr std::uint16_t kMsgStatsCleared = 0x0040;    // HOST, 0
inline constexpr std::uint16_t kMsgMiscMessage = 0x0041;     // HOST, 1: length
inline constexpr std::uint16_t kMsgEepromWrite = 0x0042;     // HOST, 2: offset, length
inline constexpr std::uint16_t kMsgScanStart = 0x0001;       // SCAN, 1: channels
inline constexpr std::uint16_t kMsgScanDone = 0x0002;        // SCAN, 2: found, ms
inline constexpr std::uint16_t kMsgJoin = 0x0010;            // MLME, 1: channel
inline constexpr std::uint16_t kMsgAssociated = 0x0011;      // MLME, 2: channel, dBm
inline constexpr std::uint16_t kMsgAssocFailed = 0x0012;     // MLME, 1: reason
inline constexpr std::uint16_t kMsgIbssStarted = 0x0013;     // MLME, 1: channel
inline constexpr std::uint16_t kMsgKeySet = 0x0020;          // SEC, 2: index, length
inline constexpr std::uint16_t kMsgKeysCleared = 0x0021;     // SEC, 0
inline constexpr std::uint16_t kMsgLinkLost = 0x0030;        // LINK, 1: reason
inline constexpr std::uint16_t kMsgRegWrite = 0x0050;        // MODEM, 2: address, value

// Reasons of kMsgAssocFailed.
inline constexpr std::uint32_t kFailNoNetwork = 1;
inline constexpr std::uint32_t kFailSecurity = 2;
inline constexpr std::uint32_t kFailWrongKey = 3;
inline constexpr std::uint32_t kFailChannel = 4;
// Reasons of kMsgLinkLost.
inline constexpr std::uint32_t kLostBeacons = 1;  // network gone or too weak
inline constexpr std::uint32_t kLostDropped = 2;  // dropped on purpose (fault)

inline constexpr std::uint32_t kPaddingWord = 0xFFFFFFFFu;
inline constexpr std::uint16_t kModemHeaderMarker = 0xBABE;
} // namespace trace

class TraceGenerator {
public:
    static constexpr std::size_t kBlockSize = 8192;
    static constexpr std::size_t kMaxQueued = 2048;
    static constexpr std::size_t kModem1Words = 32; // per poll, header included
    static constexpr std::size_t kModem2Words = 16;

    void message(std::uint8_t module, std::uint16_t id);
    void message(std::uint8_t module, std::uint16_t id, std::uint32_t p1);
    void message(std::uint8_t module, std::uint16_t id, std::uint32_t p1, std::uint32_t p2);

    // Writes one trace block: queued messages as far as they fit, one block
    // of each modem stream, then padding.  `level_dbm` shapes the modem
    // samples (the current signal, or the noise floor when not connected).
    void fill_block(std::span<std::uint8_t, kBlockSize> out, int level_dbm);

    std::size_t queued() const { return m_queue.size(); }
    std::uint64_t dropped() const { return m_dropped; }

private:
    struct Message {
        std::uint8_t module;
        std::uint8_t count;
        std::uint16_t id;
        std::uint32_t p1, p2;
    };
    void push(const Message &m);
    std::size_t put_modem(std::uint8_t *out, std::uint16_t type, std::uint16_t block_id,
                          std::size_t words, int level_dbm);

    std::deque<Message> m_queue;
    std::uint64_t m_dropped = 0;
    std::uint16_t m_modem1_id = 0, m_modem2_id = 0;
    std::uint32_t m_sample = 0;
};

} // namespace adapter_sim
