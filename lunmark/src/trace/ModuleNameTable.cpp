#include "trace/ModuleNameTable.h"

#include <cstdint>
#include <limits>

namespace lunmark {

bool ModuleNameTable::load(const std::string& path, const xml_main::Reporter& report)
{
    clear();
    xml_main document;
    if (!document.parse_file(path, report))
        return false;
    load(document);
    return true;
}

void ModuleNameTable::load(const xml_main& document)
{
    clear();
    const xml_element* list = document.find("ModulesList", "name", "Elements");
    if (list == nullptr)
        return;
    for (const xml_element* child : list->children())
        add(parse_tag(child->attribute("tag")), child->attribute("name"));
}

const std::string* ModuleNameTable::find(std::uint32_t tag) const
{
    for (const auto& entry : entries_) {
        if (entry.first == tag)
            return &entry.second;
    }
    return nullptr;
}

std::uint32_t ModuleNameTable::parse_tag(const std::string& text)
{
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r')))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        if (value > kLimit + 1)
            value = kLimit + 1;
        ++pos;
    }
    if (negative)
        value = -value;
    if (value > kLimit)
        value = kLimit;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
}

} // namespace lunmark
