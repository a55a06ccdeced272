// RawStreamParser: splits the raw trace stream into firmware messages and
// the words of the two modem streams.
#pragma once

#include <cstdint>

#include "trace/FirmwareMessage.h"

namespace lunmark {

class TraceStream;

class RawStreamParser {
public:
    // Bytes always left in the raw stream for the next pass: the longest
    // unit is 260 bytes, so more than this always holds a whole unit.
    static constexpr std::uint32_t kKeepBack = 256;
    static constexpr std::uint32_t kMaxModemWords = 64;
    static constexpr std::uint16_t kModem1Type = 0x003E;
    static constexpr std::uint16_t kModem2Type = 0x003F;

    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void firmware_message(const FirmwareMessage& message) = 0;
    };

    struct Stats {
        std::uint32_t messages = 0;
        std::uint32_t modem_blocks = 0;
        std::uint32_t discarded_words = 0;
    };

    // While the raw stream holds more than kKeepBack bytes: decodes the unit
    // at its front by the byte at offset 2 (below 0x3E a firmware message,
    // 0x3E a modem 1 block, 0x3F a modem 2 block); a unit of no known kind,
    // or one its decoder refuses, costs 4 discarded bytes.
    static Stats parse(TraceStream& raw, TraceStream& modem1, TraceStream& modem2, Sink& sink);

    // Refuses (consuming nothing) a parameter count above 2 or a module tag
    // of 0x40 or above; otherwise takes header and parameters and hands the
    // message to the sink.
    static bool decode_firmware_message(TraceStream& raw, Sink& sink);

    // Takes the count and type halves; refuses a count above 64 or a wrong
    // type (those 4 bytes stay consumed), else moves the block's words to
    // `target`.
    static bool copy_modem_block(TraceStream& raw, TraceStream& target, std::uint16_t type);
};

} // namespace lunmark
