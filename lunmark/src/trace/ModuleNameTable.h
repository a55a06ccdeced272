// ModuleNameTable: (tag, name) pairs of the firmware modules, read from the
// ModulesList element of the module name XML file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "trace/XmlElement.h"

namespace lunmark {

class ModuleNameTable {
public:
    // Empties the table and fills it from the XML file at `path`.  False
    // when the file cannot be opened (the table then stays empty).
    bool load(const std::string& path, const xml_main::Reporter& report = {});
    // Empties the table and fills it from a parsed document: the children
    // of the first ModulesList element whose name attribute is "Elements".
    void load(const xml_main& document);

    // The name of the first pair with this tag, or nullptr.
    const std::string* find(std::uint32_t tag) const;

    void add(std::uint32_t tag, std::string name) { entries_.emplace_back(tag, std::move(name)); }
    void clear() { entries_.clear(); }
    std::size_t size() const { return entries_.size(); }
    const std::vector<std::pair<std::uint32_t, std::string>>& entries() const { return entries_; }

    // The decimal number at the start of `text` (after blanks, with an
    // optional sign), 0 when there is none; out-of-range values saturate.
    static std::uint32_t parse_tag(const std::string& text);

private:
    std::vector<std::pair<std::uint32_t, std::string>> entries_;
};

} // namespace lunmark
