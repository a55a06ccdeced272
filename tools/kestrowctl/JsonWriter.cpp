#include "JsonWriter.h"

#include <algorithm>
#include <cstdio>

namespace kestrowctl {

namespace {

// Length of the valid UTF-8 sequence at `s[i]`, or 0 when the bytes there
// are not one (overlong forms, surrogates and values above U+10FFFF
// included).
std::size_t Utf8Length(std::string_view s, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80)
        return 1;
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07u;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3Fu);
    }
    static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

std::string HexEscape(unsigned char c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(c));
    return buf;
}

} // namespace

std::string JsonQuote(std::string_view text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[i++]);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

std::string EscapeText(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8Length(text, i);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (n > 1) {
            // C1 control characters (U+0080..U+009F) are escaped as well.
            const bool c1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
            if (!c1) {
                out.append(text.substr(i, n));
                i += n;
                continue;
            }
            out += HexEscape(c);
            out += HexEscape(static_cast<unsigned char>(text[i + 1]));
            i += 2;
            continue;
        }
        if (c == '\\')
            out += "\\\\";
        else if (n == 0 || c < 0x20 || c == 0x7F)
            out += HexEscape(c);
        else
            out += static_cast<char>(c);
        ++i;
    }
    return out;
}

std::string HexBytes(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        out += kDigits[c >> 4];
        out += kDigits[c & 0x0F];
    }
    return out;
}

std::size_t DisplayWidth(std::string_view escaped)
{
    std::size_t width = 0;
    for (const char ch : escaped) {
        if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80)
            ++width;
    }
    return width;
}

std::string LabelLine(std::string_view label, std::string_view value, std::size_t width)
{
    std::string line(label);
    const std::size_t w = DisplayWidth(label);
    line.append(w < width ? width - w : 1, ' ');
    line.append(value);
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    line += '\n';
    return line;
}

std::string FormatTable(const std::vector<std::string> &header,
                        const std::vector<std::vector<std::string>> &rows)
{
    std::vector<std::size_t> widths(header.size(), 0);
    const auto measure = [&](const std::vector<std::string> &row) {
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    };
    measure(header);
    for (const auto &row : rows)
        measure(row);
    const auto format = [&](const std::vector<std::string> &row) {
        std::string line;
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line.append(widths[c] - DisplayWidth(row[c]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        return line + '\n';
    };
    std::string out = format(header);
    for (const auto &row : rows)
        out += format(row);
    return out;
}

void CJsonWriter::NewLine()
{
    if (m_Layout == Layout::OneLine)
        return;
    m_strOut += '\n';
    m_strOut.append(m_Open.size() * 2, ' ');
}

void CJsonWriter::BeforeValue()
{
    if (m_bAfterKey) {
        m_bAfterKey = false;
        return;
    }
    if (!m_Open.empty()) {
        if (m_Open.back())
            m_strOut += m_Layout == Layout::OneLine ? ", " : ",";
        m_Open.back() = true;
        NewLine();
    }
}

CJsonWriter &CJsonWriter::BeginObject()
{
    BeforeValue();
    m_strOut += '{';
    m_Open.push_back(false);
    return *this;
}

CJsonWriter &CJsonWriter::End(char bracket)
{
    const bool any = !m_Open.empty() && m_Open.back();
    if (!m_Open.empty())
        m_Open.pop_back();
    if (any)
        NewLine();
    m_strOut += bracket;
    return *this;
}

CJsonWriter &CJsonWriter::EndObject()
{
    return End('}');
}

CJsonWriter &CJsonWriter::BeginArray()
{
    BeforeValue();
    m_strOut += '[';
    m_Open.push_back(false);
    return *this;
}

CJsonWriter &CJsonWriter::EndArray()
{
    return End(']');
}

CJsonWriter &CJsonWriter::Key(std::string_view key)
{
    BeforeValue();
    m_strOut += JsonQuote(key);
    m_strOut += ": ";
    m_bAfterKey = true;
    return *this;
}

CJsonWriter &CJsonWriter::String(std::string_view text)
{
    BeforeValue();
    m_strOut += JsonQuote(text);
    return *this;
}

CJsonWriter &CJsonWriter::Int(std::int64_t value)
{
    BeforeValue();
    m_strOut += std::to_string(value);
    return *this;
}

CJsonWriter &CJsonWriter::Bool(bool value)
{
    BeforeValue();
    m_strOut += value ? "true" : "false";
    return *this;
}

CJsonWriter &CJsonWriter::Null()
{
    BeforeValue();
    m_strOut += "null";
    return *this;
}

CJsonWriter &CJsonWriter::OptString(const std::optional<std::string> &text)
{
    return text ? String(*text) : Null();
}

CJsonWriter &CJsonWriter::OptInt(const std::optional<std::int64_t> &value)
{
    return value ? Int(*value) : Null();
}

std::string CJsonWriter::Take()
{
    std::string out = std::move(m_strOut);
    out += '\n';
    m_strOut.clear();
    m_Open.clear();
    m_bAfterKey = false;
    return out;
}

} // namespace kestrowctl
