// The line-oriented XML reader and the module name table on arbitrary file
// content (include files are opened as named, relative to the current
// directory).
// fuzz-link: lunmark_trace_fuzzlib
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "trace/ModuleNameTable.h"
#include "trace/XmlElement.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    lunmark::xml_main doc;
    std::size_t reports = 0;
    doc.parse_stream(in, [&](const std::string&) { ++reports; });
    // Every line read becomes a node; the reader stops past kMaxNodes.
    if (doc.node_count() > lunmark::xml_main::kMaxNodes + 1)
        __builtin_trap();
    lunmark::ModuleNameTable table;
    table.load(doc);
    if (const lunmark::xml_element* first = doc.first_child()) {
        doc.find(first->name(), "name", first->attribute("name"));
        (void)first->attribute("tag");
    }
    return 0;
}
