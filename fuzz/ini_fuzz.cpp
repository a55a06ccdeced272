// The INI reader and the firmware message table on arbitrary file content.
// fuzz-link: lunmark_trace_fuzzlib
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "trace/FirmwareLineFormatter.h"
#include "trace/FirmwareMessageTable.h"
#include "trace/IniReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lunmark::IniReader ini;
    ini.load_text(std::string_view(reinterpret_cast<const char*>(data), size));
    std::size_t used = 1;
    for (const std::string& name : ini.section_names())
        used += name.size() + 1;
    if (used > lunmark::IniReader::kBufferSize)
        __builtin_trap();

    lunmark::FirmwareMessageTable table;
    table.load(ini);
    // Render a few keys with whatever formats the file gave them.
    lunmark::FirmwareMessage m;
    for (std::uint8_t count = 0; count <= 2; ++count) {
        m.param_count = count;
        m.module_tag = size > 0 ? data[0] & 0x3F : 0;
        m.id = size > 1 ? data[1] : 0;
        m.param1 = 0x80000000u;
        m.param2 = 0xFFFFFFFFu;
        if (lunmark::FirmwareLineFormatter::body(m, table).size() > lunmark::FirmwareLineFormatter::kBodyMax)
            __builtin_trap();
    }
    return 0;
}
