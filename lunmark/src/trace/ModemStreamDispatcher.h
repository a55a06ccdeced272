// ModemStreamDispatcher: cuts a modem trace stream into blocks (a header
// word 0xBABE<id> followed by data words) and delivers each block.
#pragma once

#include <cstdint>

namespace lunmark {

class TraceStream;

class ModemStreamDispatcher {
public:
    static constexpr std::uint16_t kHeaderMarker = 0xBABE;
    // Bytes left in the stream for the next pass.
    static constexpr std::uint32_t kKeepBack = 256;

    // Where the words of a block go, and who hears of it.
    class Target {
    public:
        virtual ~Target() = default;
        // The array the block's words are stored in (may be nullptr) and how
        // many words it holds; asked afresh for every block.
        virtual std::uint32_t* output() = 0;
        virtual std::uint32_t capacity_words() = 0;
        // Called after the words are stored, with the count actually stored
        // times 4.
        virtual void deliver(std::uint16_t block_id, std::uint32_t byte_count) = 0;
    };

    static bool is_header(std::uint32_t word) { return (word >> 16) == kHeaderMarker; }

    // Delivers every block whose following header is already in the stream
    // with more than kKeepBack bytes from that header on.  A block not yet
    // complete stays in the stream, whole, for the next pass; data words in
    // front of the first header (a stream out of step) are discarded.  A
    // block that could not be completed even in a full stream is delivered
    // as far as it was gathered.  Returns the number of blocks delivered.
    static std::uint32_t dispatch(TraceStream& stream, Target& target);
};

} // namespace lunmark
