#include "trace/IniReader.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace lunmark {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool equal_nocase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Packs strings as a double-NUL-terminated list would fill a buffer of
// `size` bytes: the string that does not fit is cut, and nothing follows it.
std::vector<std::string> pack(const std::vector<std::string>& items, std::size_t size)
{
    std::vector<std::string> out;
    if (size < 2)
        return out;
    std::size_t room = size - 1; // the final NUL
    for (const std::string& item : items) {
        if (item.size() + 1 <= room) {
            out.push_back(item);
            room -= item.size() + 1;
            continue;
        }
        if (room > 1)
            out.push_back(item.substr(0, room - 1));
        break;
    }
    return out;
}

} // namespace

bool IniReader::load(const std::string& path)
{
    sections_.clear();
    // Only regular files: a FIFO or device could block the library.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        return false;
    load_text(content.str());
    return true;
}

void IniReader::load_text(std::string_view text)
{
    sections_.clear();
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        // A NUL ends the line, as it would for the C string calls.
        const std::size_t nul = line.find('\0');
        if (nul != std::string_view::npos)
            line = trim(line.substr(0, nul));
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            std::string_view name = line.substr(1);
            const std::size_t close = name.find(']');
            if (close != std::string_view::npos)
                name = name.substr(0, close);
            name = trim(name);
            current = nullptr;
            for (Section& s : sections_) {
                if (equal_nocase(s.name, name)) {
                    current = &s;
                    break;
                }
            }
            if (current == nullptr) {
                sections_.push_back(Section{std::string(name), {}});
                current = &sections_.back();
            }
            continue;
        }
        if (current == nullptr)
            continue; // lines before the first section belong to none
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            current->lines.emplace_back(line);
        } else {
            std::string joined(trim(line.substr(0, eq)));
            joined += '=';
            joined += trim(line.substr(eq + 1));
            current->lines.push_back(std::move(joined));
        }
    }
}

std::vector<std::string> IniReader::section_names(std::size_t buffer_size) const
{
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const Section& s : sections_)
        names.push_back(s.name);
    return pack(names, buffer_size);
}

std::vector<std::string> IniReader::section(std::string_view name, std::size_t buffer_size) const
{
    for (const Section& s : sections_) {
        if (equal_nocase(s.name, name))
            return pack(s.lines, buffer_size);
    }
    return {};
}

} // namespace lunmark
