#include "trace/ModemStreamDispatcher.h"

#include "trace/TraceStream.h"

namespace lunmark {

std::uint32_t ModemStreamDispatcher::dispatch(TraceStream& stream, Target& target)
{
    std::uint32_t delivered = 0;
    while (stream.length() > kKeepBack) {
        if (!is_header(stream.peek32(0))) {
            stream.take32();
            continue;
        }
        // Find the header that ends this block, looking only at words that
        // have more than kKeepBack bytes from their start to the stream's end.
        const std::uint32_t length = stream.length();
        std::uint32_t end = 4;
        bool complete = false;
        while (length - end > kKeepBack) {
            if (is_header(stream.peek32(end))) {
                complete = true;
                break;
            }
            end += 4;
        }
        if (!complete) {
            // A block that has filled the stream can never see its end:
            // deliver what is there rather than stall the stream for good.
            if (length + 4 < TraceStream::kAppendLimit)
                break;
        }
        const std::uint32_t words = (end - 4) / 4;
        const std::uint16_t block_id = stream.take16();
        stream.take16();
        std::uint32_t* out = target.output();
        const std::uint32_t capacity = out != nullptr ? target.capacity_words() : 0;
        std::uint32_t stored = 0;
        for (std::uint32_t i = 0; i < words; ++i) {
            const std::uint32_t word = stream.take32();
            if (stored < capacity)
                out[stored++] = word;
        }
        target.deliver(block_id, stored * 4);
        ++delivered;
    }
    return delivered;
}

} // namespace lunmark
