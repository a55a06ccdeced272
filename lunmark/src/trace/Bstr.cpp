#include "trace/Bstr.h"

#include <cstdlib>
#include <cstring>

namespace lunmark {

namespace {

// Length of the valid UTF-8 sequence at text[i] and its code point, or 0.
std::size_t utf8_sequence(std::string_view text, std::size_t i, std::uint32_t& code)
{
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t b0 = byte(i);
    std::size_t len = 0;
    std::uint32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        code = b0 & 0x1Fu;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        code = b0 & 0x0Fu;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        code = b0 & 0x07u;
        min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < len)
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const std::uint8_t b = byte(i + k);
        if ((b & 0xC0u) != 0x80u)
            return 0;
        code = (code << 6) | (b & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

std::vector<std::uint16_t> utf16_from_text(std::string_view text)
{
    std::vector<std::uint16_t> out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        std::uint32_t code = 0;
        const std::size_t len = utf8_sequence(text, i, code);
        if (len == 0) {
            out.push_back(b);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<std::uint16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<std::uint16_t>(0xDC00 + (code & 0x3FFu)));
        } else {
            out.push_back(static_cast<std::uint16_t>(code));
        }
        i += len;
    }
    return out;
}

lunmark_bstr bstr_from_text(std::string_view text)
{
    const std::vector<std::uint16_t> units = utf16_from_text(text);
    if (units.size() > 0x7FFFFFFFu)
        return nullptr;
    return lunmark_bstr_alloc(units.data(), static_cast<std::uint32_t>(units.size()));
}

} // namespace lunmark

// The byte length sits in the 4 bytes before the first code unit, and a NUL
// unit follows the last one.
extern "C" LUNMARK_API lunmark_bstr lunmark_bstr_alloc(const uint16_t* text, uint32_t units)
{
    if (units > 0x7FFFFFFEu)
        return nullptr;
    const std::size_t bytes = static_cast<std::size_t>(units) * 2;
    auto* block = static_cast<std::uint8_t*>(std::malloc(4 + bytes + 2));
    if (block == nullptr)
        return nullptr;
    const auto length = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &length, 4);
    if (text != nullptr && bytes != 0)
        std::memcpy(block + 4, text, bytes);
    else
        std::memset(block + 4, 0, bytes);
    block[4 + bytes] = 0;
    block[4 + bytes + 1] = 0;
    return reinterpret_cast<lunmark_bstr>(block + 4);
}

extern "C" LUNMARK_API void lunmark_bstr_free(lunmark_bstr s)
{
    if (s == nullptr)
        return;
    std::free(reinterpret_cast<std::uint8_t*>(s) - 4);
}

extern "C" LUNMARK_API uint32_t lunmark_bstr_len(const lunmark_bstr s)
{
    if (s == nullptr)
        return 0;
    std::uint32_t length = 0;
    std::memcpy(&length, reinterpret_cast<const std::uint8_t*>(s) - 4, 4);
    return length / 2;
}
