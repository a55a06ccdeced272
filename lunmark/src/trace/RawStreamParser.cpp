#include "trace/RawStreamParser.h"

#include "trace/TraceStream.h"

namespace lunmark {

RawStreamParser::Stats RawStreamParser::parse(TraceStream& raw, TraceStream& modem1,
                                              TraceStream& modem2, Sink& sink)
{
    Stats stats;
    while (raw.length() > kKeepBack) {
        const std::uint8_t kind = raw.peek(2);
        bool accepted = false;
        if (kind < kModem1Type) {
            accepted = decode_firmware_message(raw, sink);
            if (accepted)
                ++stats.messages;
        } else if (kind == kModem1Type) {
            accepted = copy_modem_block(raw, modem1, kModem1Type);
        } else if (kind == kModem2Type) {
            accepted = copy_modem_block(raw, modem2, kModem2Type);
        }
        if (kind == kModem1Type || kind == kModem2Type) {
            if (accepted)
                ++stats.modem_blocks;
        }
        if (!accepted) {
            raw.take32();
            ++stats.discarded_words;
        }
    }
    return stats;
}

bool RawStreamParser::decode_firmware_message(TraceStream& raw, Sink& sink)
{
    const std::uint8_t count = raw.peek(3);
    const std::uint8_t tag = raw.peek(2);
    if (count > 2 || tag >= 0x40)
        return false;
    // Header and parameters must be in the stream whole; the parse loop
    // guarantees it, this keeps a direct caller from reading past the end.
    if (raw.length() < 4u + 4u * count)
        return false;
    FirmwareMessage message;
    message.id = raw.take16();
    raw.take16();
    message.module_tag = tag;
    message.param_count = count;
    if (count >= 1)
        message.param1 = raw.take32();
    if (count >= 2)
        message.param2 = raw.take32();
    sink.firmware_message(message);
    return true;
}

bool RawStreamParser::copy_modem_block(TraceStream& raw, TraceStream& target, std::uint16_t type)
{
    const std::uint16_t count = raw.take16();
    const std::uint16_t found_type = raw.take16();
    if (count > kMaxModemWords || found_type != type)
        return false;
    // A block cut short by the end of the stream is taken as far as it goes.
    for (std::uint32_t i = 0; i < count && raw.length() >= 4; ++i)
        target.append32(raw.take32());
    return true;
}

} // namespace lunmark
