// The raw trace stream parser, modem dispatch and firmware line formatter on
// arbitrary driver data.  Input: one byte n, then n bytes of a format text
// stored under every message's key, then the trace bytes.
// fuzz-link: lunmark_trace_fuzzlib
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "trace/FirmwareLineFormatter.h"
#include "trace/FirmwareMessageTable.h"
#include "trace/ModemStreamDispatcher.h"
#include "trace/ModuleNameTable.h"
#include "trace/RawStreamParser.h"
#include "trace/TraceStream.h"

namespace {

struct Sink : lunmark::RawStreamParser::Sink {
    std::string format;
    lunmark::ModuleNameTable modules;
    std::size_t total = 0;
    void firmware_message(const lunmark::FirmwareMessage& m) override
    {
        lunmark::FirmwareMessageTable table;
        table.add_line(lunmark::FirmwareLineFormatter::key(m) + "=\"" + format);
        const std::string line = lunmark::FirmwareLineFormatter::line(m, table, modules);
        if (lunmark::FirmwareLineFormatter::body(m, table).size() > lunmark::FirmwareLineFormatter::kBodyMax)
            __builtin_trap();
        total += line.size();
    }
};

struct Target : lunmark::ModemStreamDispatcher::Target {
    std::vector<std::uint32_t> out = std::vector<std::uint32_t>(17);
    std::uint32_t* output() override { return out.data(); }
    std::uint32_t capacity_words() override { return static_cast<std::uint32_t>(out.size()); }
    void deliver(std::uint16_t, std::uint32_t bytes) override
    {
        if (bytes > out.size() * 4)
            __builtin_trap();
    }
};

struct Streams {
    lunmark::TraceStream raw, m1, m2;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t n = data[0] < size - 1 ? data[0] : size - 1;
    Sink sink;
    sink.format.assign(reinterpret_cast<const char*>(data + 1), n);
    sink.modules.add(1, "MOD");
    data += 1 + n;
    size -= 1 + n;

    static auto streams = std::make_unique<Streams>();
    streams->raw.clear();
    streams->m1.clear();
    streams->m2.clear();
    Target target;
    // Whole words, in pieces of up to 8192 bytes as the poll delivers them.
    std::size_t words = size / 4;
    while (words > 0) {
        const std::size_t take = words < 2048 ? words : 2048;
        streams->raw.append(data, static_cast<std::uint32_t>(take * 4));
        data += take * 4;
        words -= take;
        lunmark::RawStreamParser::parse(streams->raw, streams->m1, streams->m2, sink);
        if (streams->raw.length() > lunmark::RawStreamParser::kKeepBack)
            __builtin_trap();
        lunmark::ModemStreamDispatcher::dispatch(streams->m1, target);
        lunmark::ModemStreamDispatcher::dispatch(streams->m2, target);
    }
    return 0;
}
