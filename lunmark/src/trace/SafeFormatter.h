// SafeFormatter: renders printf-style format texts that come from files,
// without ever handing them to the C library's printf.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lunmark {

class SafeFormatter {
public:
    // Width and precision are clamped to this, so "%99999d" stays small.
    static constexpr std::size_t kMaxField = 511;

    // Renders `format` with the given parameters and returns at most
    // `max_chars` characters.
    //
    // Understood: %% and the integer conversions d i u x X o c with the
    // flags - + space # 0, a decimal width and a decimal precision, and the
    // length modifiers h hh l ll L j z t I I32 I64 (parameters are 32-bit;
    // h and hh narrow them as printf would).  Each conversion uses the next
    // parameter; a conversion beyond the parameters renders as for 0.
    //
    // Anything else (%s, %n, %p, %f, a '*' width or precision, an unknown
    // or unfinished conversion) is copied literally and, except for an
    // unfinished one at the end, uses up one parameter so that the following
    // conversions still line up with theirs.  Nothing ever reads memory
    // through a parameter.
    static std::string format(std::string_view format, std::span<const std::uint32_t> params,
                              std::size_t max_chars);
};

} // namespace lunmark
