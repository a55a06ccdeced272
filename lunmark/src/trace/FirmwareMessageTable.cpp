#include "trace/FirmwareMessageTable.h"

#include "trace/IniReader.h"

namespace lunmark {

bool FirmwareMessageTable::load(const std::string& path,
                                const std::function<void(const std::string&)>& report)
{
    clear();
    IniReader ini;
    if (!ini.load(path, report))
        return false;
    load(ini);
    return true;
}

void FirmwareMessageTable::load(const IniReader& ini)
{
    clear();
    for (const std::string& name : ini.section_names()) {
        for (const std::string& line : ini.section(name))
            add_line(line);
    }
}

void FirmwareMessageTable::add_line(std::string_view line)
{
    const std::size_t pos = line.find("=\"");
    if (pos == std::string_view::npos || pos == 0)
        return;
    entries_.try_emplace(std::string(line.substr(0, pos)), line.substr(pos + 1));
}

const std::string* FirmwareMessageTable::find(const std::string& key) const
{
    const auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

} // namespace lunmark
