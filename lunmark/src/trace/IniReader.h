// IniReader: reads an INI file the way the private-profile section calls
// deliver it, for the firmware message table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lunmark {

class IniReader {
public:
    // Size of the caller's buffer that each of the two reads fills: names or
    // lines, each followed by a NUL, plus one final NUL.
    static constexpr std::size_t kBufferSize = 30000;

    // Reads the file; false (with an empty reader) when it cannot be read.
    bool load(const std::string& path);
    // Uses `text` as the file's content.
    void load_text(std::string_view text);

    // Section names in file order, each once (names compare without regard
    // to ASCII case), cut to fit a buffer of `buffer_size` bytes.
    std::vector<std::string> section_names(std::size_t buffer_size = kBufferSize) const;

    // The lines of the named section (of every section of that name, in file
    // order), cut to fit a buffer of `buffer_size` bytes.  A line with an
    // equals sign comes back as key=value with blanks around both removed;
    // other lines come back trimmed.  Empty lines and comment lines (';')
    // are left out.
    std::vector<std::string> section(std::string_view name,
                                     std::size_t buffer_size = kBufferSize) const;

private:
    struct Section {
        std::string name;
        std::vector<std::string> lines;
    };
    std::vector<Section> sections_;
};

} // namespace lunmark
