#include "trace/SafeFormatter.h"

#include <algorithm>

namespace lunmark {

namespace {

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    bool zero = false;
    std::size_t width = 0;
    bool has_precision = false;
    std::size_t precision = 0;
    int size = 0; // -2 hh, -1 h, 0 int, 1 l/ll/j/z/t/I64
    bool star = false;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal number, saturating at kMaxField.
std::size_t read_number(std::string_view text, std::size_t& pos)
{
    std::size_t value = 0;
    while (pos < text.size() && is_digit(text[pos])) {
        value = value * 10 + static_cast<std::size_t>(text[pos] - '0');
        if (value > SafeFormatter::kMaxField)
            value = SafeFormatter::kMaxField;
        ++pos;
    }
    return value;
}

std::string digits_of(std::uint64_t value, unsigned base, bool upper)
{
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    do {
        out.push_back(set[value % base]);
        value /= base;
    } while (value != 0);
    std::reverse(out.begin(), out.end());
    return out;
}

// Renders one integer or character conversion.
std::string render(const Spec& spec, char conv, std::uint32_t raw)
{
    std::string prefix;
    std::string body;
    bool numeric = true;

    std::uint32_t value = raw;
    if (spec.size == -1)
        value = raw & 0xFFFFu;
    else if (spec.size == -2)
        value = raw & 0xFFu;

    switch (conv) {
    case 'd':
    case 'i': {
        std::int64_t v = static_cast<std::int32_t>(value);
        if (spec.size == -1)
            v = static_cast<std::int16_t>(value);
        else if (spec.size == -2)
            v = static_cast<std::int8_t>(value);
        const std::uint64_t magnitude =
            v < 0 ? static_cast<std::uint64_t>(-v) : static_cast<std::uint64_t>(v);
        if (v < 0)
            prefix = "-";
        else if (spec.plus)
            prefix = "+";
        else if (spec.space)
            prefix = " ";
        body = digits_of(magnitude, 10, false);
        break;
    }
    case 'u':
        body = digits_of(value, 10, false);
        break;
    case 'x':
    case 'X':
        body = digits_of(value, 16, conv == 'X');
        if (spec.alternate && value != 0)
            prefix = conv == 'X' ? "0X" : "0x";
        break;
    case 'o':
        body = digits_of(value, 8, false);
        break;
    case 'c':
        numeric = false;
        // A NUL character would end the line early in a C string; leave it out.
        if ((value & 0xFFu) != 0)
            body.push_back(static_cast<char>(value & 0xFFu));
        break;
    default:
        break;
    }

    if (numeric && spec.has_precision) {
        if (spec.precision == 0 && value == 0 && !(conv == 'o' && spec.alternate))
            body.clear();
        else if (body.size() < spec.precision)
            body.insert(0, spec.precision - body.size(), '0');
    }
    if (numeric && conv == 'o' && spec.alternate && (body.empty() || body[0] != '0'))
        body.insert(0, 1, '0');

    std::string out = prefix + body;
    if (out.size() < spec.width) {
        const std::size_t pad = spec.width - out.size();
        if (spec.left)
            out.append(pad, ' ');
        else if (numeric && spec.zero && !spec.has_precision)
            out.insert(prefix.size(), pad, '0');
        else
            out.insert(0, pad, ' ');
    }
    return out;
}

} // namespace

std::string SafeFormatter::format(std::string_view fmt, std::span<const std::uint32_t> params,
                                  std::size_t max_chars)
{
    std::string out;
    std::size_t next_param = 0;
    const auto next_value = [&]() -> std::uint32_t {
        const std::uint32_t v = next_param < params.size() ? params[next_param] : 0;
        ++next_param;
        return v;
    };

    std::size_t pos = 0;
    while (pos < fmt.size() && out.size() < max_chars) {
        const char c = fmt[pos];
        if (c != '%') {
            out.push_back(c);
            ++pos;
            continue;
        }
        const std::size_t start = pos++;
        if (pos < fmt.size() && fmt[pos] == '%') {
            out.push_back('%');
            ++pos;
            continue;
        }

        Spec spec;
        for (; pos < fmt.size(); ++pos) {
            const char f = fmt[pos];
            if (f == '-')
                spec.left = true;
            else if (f == '+')
                spec.plus = true;
            else if (f == ' ')
                spec.space = true;
            else if (f == '#')
                spec.alternate = true;
            else if (f == '0')
                spec.zero = true;
            else
                break;
        }
        if (pos < fmt.size() && fmt[pos] == '*') {
            spec.star = true;
            ++pos;
        } else {
            spec.width = read_number(fmt, pos);
        }
        if (pos < fmt.size() && fmt[pos] == '.') {
            ++pos;
            spec.has_precision = true;
            if (pos < fmt.size() && fmt[pos] == '*') {
                spec.star = true;
                ++pos;
            } else {
                spec.precision = read_number(fmt, pos);
            }
        }
        // Length modifiers.
        if (pos < fmt.size()) {
            const std::string_view rest = fmt.substr(pos);
            if (rest.starts_with("hh")) {
                spec.size = -2;
                pos += 2;
            } else if (rest.starts_with("ll") || rest.starts_with("I64") || rest.starts_with("I32")) {
                spec.size = rest[0] == 'l' || rest[1] == '6' ? 1 : 0;
                pos += rest[0] == 'l' ? 2 : 3;
            } else if (rest[0] == 'h') {
                spec.size = -1;
                ++pos;
            } else if (rest[0] == 'l' || rest[0] == 'L' || rest[0] == 'j' || rest[0] == 'z' ||
                       rest[0] == 't' || rest[0] == 'I') {
                spec.size = 1;
                ++pos;
            }
        }
        if (pos >= fmt.size()) {
            // Unfinished conversion at the end of the text: copy it as it is.
            out.append(fmt.substr(start));
            break;
        }
        const char conv = fmt[pos++];
        const bool known = conv == 'd' || conv == 'i' || conv == 'u' || conv == 'x' ||
                           conv == 'X' || conv == 'o' || conv == 'c';
        const std::uint32_t value = next_value();
        if (!known || spec.star)
            out.append(fmt.substr(start, pos - start));
        else
            out.append(render(spec, conv, value));
    }
    if (out.size() > max_chars)
        out.resize(max_chars);
    return out;
}

} // namespace lunmark
