// FirmwareMessageTable: firmware message formats by their 8-digit key,
// loaded from an INI file.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace lunmark {

class IniReader;

class FirmwareMessageTable {
public:
    // Empties the table and fills it from the INI file at `path`.  Returns
    // false when the file cannot be read (the table is then empty).  A file
    // too large to be read whole is reported through `report`.
    bool load(const std::string& path, const std::function<void(const std::string&)>& report = {});
    // Empties the table and fills it from an already read INI file.
    void load(const IniReader& ini);

    // Every section feeds the one table.  In each line the first equals sign
    // directly followed by a quotation mark splits it: the key is the text
    // before it, the format everything after the equals sign (quotation
    // marks included).  The first occurrence of a key wins.
    void add_line(std::string_view line);

    // The format stored for `key`, or nullptr.
    const std::string* find(const std::string& key) const;

    void clear() { entries_.clear(); }
    std::size_t size() const { return entries_.size(); }

private:
    std::map<std::string, std::string, std::less<>> entries_;
};

} // namespace lunmark
