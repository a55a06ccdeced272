// CJsonWriter: writes one JSON document, indented, with strings escaped as
// JSON demands; and the text helpers that make bytes from outside (SSIDs,
// names) safe to print.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrowctl {

class CJsonWriter {
public:
    // Indented over several lines, or all on one line (an event stream
    // prints one document per line).
    enum class Layout { Indented, OneLine };
    explicit CJsonWriter(Layout layout = Layout::Indented) : m_Layout(layout) {}

    CJsonWriter &BeginObject();
    CJsonWriter &EndObject();
    CJsonWriter &BeginArray();
    CJsonWriter &EndArray();
    // The name of the next member of the current object.
    CJsonWriter &Key(std::string_view key);
    // Bytes that are not valid UTF-8 become U+FFFD.
    CJsonWriter &String(std::string_view text);
    CJsonWriter &Int(std::int64_t value);
    CJsonWriter &Bool(bool value);
    CJsonWriter &Null();
    CJsonWriter &OptString(const std::optional<std::string> &text);
    CJsonWriter &OptInt(const std::optional<std::int64_t> &value);

    // The document, ending in a newline.
    std::string Take();

private:
    void BeforeValue();
    CJsonWriter &End(char bracket);
    void NewLine();

    Layout m_Layout;
    std::string m_strOut;
    // Per open container: true once it has a member.
    std::vector<bool> m_Open;
    bool m_bAfterKey = false;
};

// JSON string literal of the text, quotes included.
std::string JsonQuote(std::string_view text);
// Valid UTF-8 as it is; every other byte, control characters, DEL and the
// backslash as "\xNN" (the backslash as "\\"), so the printed text is
// unambiguous and never drives the terminal.
std::string EscapeText(std::string_view text);
// Upper-case hexadecimal digits of the bytes.
std::string HexBytes(std::string_view bytes);
// Characters shown on a terminal: code points of valid UTF-8 count one,
// every escaped byte its escape's length.
std::size_t DisplayWidth(std::string_view escaped);

// "label" padded to `width` and the value, ending in a newline.
std::string LabelLine(std::string_view label, std::string_view value, std::size_t width = 24);
// Rows under a header, columns padded to their widest cell (cells are
// already escaped), two blanks apart.
std::string FormatTable(const std::vector<std::string> &header,
                        const std::vector<std::vector<std::string>> &rows);

} // namespace kestrowctl
