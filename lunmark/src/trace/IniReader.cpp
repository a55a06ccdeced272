#include "trace/IniReader.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace lunmark {

namespace {

// How much more of a file each read asks for.
constexpr std::size_t kReadChunk = 64 * 1024;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Section names compare without regard to ASCII case.
std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
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

bool IniReader::load(const std::string& path, const Reporter& report)
{
    load_text({});
    // Only regular files: a FIFO or device could block the library.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    // Read in chunks up to one byte more than is used, which tells whether
    // the file goes on: the buffer grows with what the file holds, so a
    // small file never costs the whole limit in memory.
    std::string content;
    std::size_t got = 0;
    while (in && got <= kMaxFileSize) {
        content.resize(std::min(kMaxFileSize + 1, got + kReadChunk));
        in.read(content.data() + got, static_cast<std::streamsize>(content.size() - got));
        got += static_cast<std::size_t>(in.gcount());
    }
    if (in.bad())
        return false;
    content.resize(got);
    if (content.size() > kMaxFileSize) {
        // Keep whole lines only: a cut line could become a wrong message.
        const std::size_t last = content.rfind('\n', kMaxFileSize - 1);
        content.resize(last == std::string::npos ? 0 : last + 1);
        const std::string text = "[INI_READER] File larger than " + std::to_string(kMaxFileSize) +
                                 " bytes, the rest is not read - " + path;
        if (report)
            report(text);
        else
            std::fprintf(stderr, "%s\n", text.c_str());
    }
    load_text(content);
    return true;
}

void IniReader::load_text(std::string_view text)
{
    sections_.clear();
    index_.clear();
    name_bytes_ = 0;
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
            std::string key = lower(name);
            if (const auto it = index_.find(key); it != index_.end()) {
                current = &sections_[it->second];
            } else if (name_bytes_ < kBufferSize) {
                name_bytes_ += name.size() + 1;
                index_.emplace(std::move(key), sections_.size());
                sections_.push_back(Section{std::string(name), {}});
                current = &sections_.back();
            }
            continue;
        }
        // Lines before the first section belong to none.
        if (current == nullptr || current->lines.size() >= kBufferSize)
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            current->lines += line;
        } else {
            current->lines += trim(line.substr(0, eq));
            current->lines += '=';
            current->lines += trim(line.substr(eq + 1));
        }
        current->lines += '\0';
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
    const Section* s = find(name);
    if (s == nullptr)
        return {};
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < s->lines.size();) {
        const std::size_t end = s->lines.find('\0', pos);
        lines.emplace_back(s->lines, pos, end - pos);
        pos = end + 1;
    }
    return pack(lines, buffer_size);
}

const IniReader::Section* IniReader::find(std::string_view name) const
{
    const auto it = index_.find(lower(name));
    return it == index_.end() ? nullptr : &sections_[it->second];
}

} // namespace lunmark
