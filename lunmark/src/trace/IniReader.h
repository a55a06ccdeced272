// IniReader: reads an INI file the way the private-profile section calls
// deliver it, for the firmware message table.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lunmark {

class IniReader {
public:
    // Size of the caller's buffer that each of the two reads fills: names or
    // lines, each followed by a NUL, plus one final NUL.
    static constexpr std::size_t kBufferSize = 30000;
    // The most of a file that is read.  Each of the two buffers holds at
    // most 30000 bytes, so a real message file stays far below this; a
    // larger file is cut after the last whole line within it.
    static constexpr std::size_t kMaxFileSize = 1024 * 1024;

    // Receives the text of a problem met while reading (a file cut short).
    using Reporter = std::function<void(const std::string&)>;

    // Reads the file; false (with an empty reader) when it cannot be read.
    // A file larger than kMaxFileSize is read only that far, and `report`
    // hears of it (standard error when it is empty).
    bool load(const std::string& path, const Reporter& report = {});
    // Uses `text` as the file's content.
    void load_text(std::string_view text);

    // Only what buffers of kBufferSize bytes can show is kept: the sections
    // whose names fit the name list (later new sections are dropped with
    // their lines) and of each section the lines that fit its buffer.  A
    // larger `buffer_size` below sees no more.

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
        // Each line followed by a NUL, as in the caller's buffer: one
        // allocation per section however short its lines are.
        std::string lines;
    };
    const Section* find(std::string_view name) const;

    std::vector<Section> sections_;
    // Index into sections_ by the name in lower case.
    std::unordered_map<std::string, std::size_t> index_;
    // Bytes the kept names take in a name list.
    std::size_t name_bytes_ = 0;
};

} // namespace lunmark
