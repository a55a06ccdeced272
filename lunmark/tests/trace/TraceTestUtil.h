// Helpers shared by the trace tests: crafting stream words, reading lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trace/TraceStream.h"

#include <lunmark/lunmark.h>

namespace lunmark::test {

inline std::uint32_t fw_header(std::uint16_t id, std::uint8_t tag, std::uint8_t count)
{
    return id | static_cast<std::uint32_t>(tag) << 16 | static_cast<std::uint32_t>(count) << 24;
}

inline std::uint32_t modem_header(std::uint16_t words, std::uint16_t type)
{
    return words | static_cast<std::uint32_t>(type) << 16;
}

// Words that no decoder accepts (byte 2 is 0xFF): discarded 4 bytes at a time.
inline void pad(TraceStream& s, std::uint32_t words)
{
    for (std::uint32_t i = 0; i < words; ++i)
        s.append32(0xFFFFFFFFu);
}

inline void put(TraceStream& s, const std::vector<std::uint32_t>& words)
{
    for (std::uint32_t w : words)
        s.append32(w);
}

// The text of a firmware line handed to a callback.
inline std::string text_of(const lunmark_bstr* line)
{
    return std::string((*line), (*line) + lunmark_bstr_len(*line));
}

} // namespace lunmark::test
