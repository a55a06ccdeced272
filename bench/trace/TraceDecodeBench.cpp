// Decoding of full 8192-byte trace blocks as the poll hands them over.
//   BM_FormatLines: every unit a firmware message, formatted into a line
//                   and delivered as a BSTR (the "lines/s" counter);
//   BM_ParseOnly:   the same blocks with no callback registered;
//   BM_MixedBlocks: messages and modem blocks, both modem callbacks.
// Bytes/s is raw trace bytes parsed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "trace/TraceEngine.h"

namespace {

using lunmark::TraceEngine;

std::uint64_t g_sink = 0;

void on_line(lunmark_bstr* line) { g_sink += lunmark_bstr_len(*line); }
void on_block(std::uint16_t id, std::uint32_t bytes) { g_sink += id + bytes; }

std::uint32_t fw(std::uint16_t id, std::uint8_t tag, std::uint8_t count)
{
    return id | static_cast<std::uint32_t>(tag) << 16 | static_cast<std::uint32_t>(count) << 24;
}

// One 8192-byte block.  Messages cycle through 0, 1 and 2 parameters; with
// `modem`, every fourth unit is a 32-word modem block.
std::vector<std::uint32_t> make_block(bool modem, std::uint16_t& block_id)
{
    std::vector<std::uint32_t> w;
    int unit = 0;
    while (true) {
        if (modem && unit % 4 == 3) {
            if (w.size() + 33 > 2048)
                break;
            const std::uint16_t type = unit % 8 == 3 ? 0x3E : 0x3F;
            w.push_back(32u | static_cast<std::uint32_t>(type) << 16);
            w.push_back(0xBABE0000u | block_id++);
            for (int k = 1; k < 32; ++k)
                w.push_back(static_cast<std::uint32_t>(k * 17));
        } else {
            const auto count = static_cast<std::uint8_t>(unit % 3);
            if (w.size() + 1 + count > 2048)
                break;
            w.push_back(fw(static_cast<std::uint16_t>(unit % 4), static_cast<std::uint8_t>(1 + unit % 5), count));
            for (int p = 0; p < count; ++p)
                w.push_back(static_cast<std::uint32_t>(unit * 31 + p));
        }
        ++unit;
    }
    w.resize(2048, 0xFFFFFFFFu);
    return w;
}

std::unique_ptr<TraceEngine> make_engine()
{
    auto e = std::make_unique<TraceEngine>();
    const char* names[] = {"HOST", "SCAN", "MLME", "SEC", "LINK"};
    for (std::uint32_t t = 0; t < 5; ++t)
        e->modules().add(t + 1, names[t]);
    // Formats for most keys, as a message file would give them.
    for (int count = 0; count <= 2; ++count) {
        for (int tag = 1; tag <= 5; ++tag) {
            for (int id = 0; id < 3; ++id) {
                char line[64];
                std::snprintf(line, sizeof line, "%02x%02x%04x=\"", count, tag, id);
                std::string text = line;
                text += count == 0 ? "Event without values" : count == 1 ? "Value %d on channel" : "Pair %08x / %u";
                text += "\"";
                e->messages().add_line(text);
            }
        }
    }
    return e;
}

void run(benchmark::State& state, bool lines, bool modem)
{
    auto engine = make_engine();
    if (lines)
        engine->set_firmware_str_debug_cb(on_line);
    std::vector<std::uint32_t> output(LUNMARK_TRACE_MAX_BLOCK_WORDS);
    engine->set_output(output.data(), static_cast<std::uint32_t>(output.size()));
    if (modem) {
        engine->set_modem_1_cb(on_block);
        engine->set_modem_2_cb(on_block);
    }
    std::uint16_t block_id = 0;
    std::vector<std::vector<std::uint32_t>> blocks;
    for (int i = 0; i < 8; ++i)
        blocks.push_back(make_block(modem, block_id));

    std::size_t i = 0;
    const std::uint64_t lines_before = engine->lines_formatted();
    for (auto _ : state) {
        const auto& b = blocks[i++ % blocks.size()];
        engine->raw().append(b.data(), 8192);
        engine->process_streams();
    }
    benchmark::DoNotOptimize(g_sink);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 8192);
    state.counters["lines/s"] = benchmark::Counter(
        static_cast<double>(engine->lines_formatted() - lines_before), benchmark::Counter::kIsRate);
}

void BM_FormatLines(benchmark::State& state) { run(state, true, false); }
void BM_ParseOnly(benchmark::State& state) { run(state, false, false); }
void BM_MixedBlocks(benchmark::State& state) { run(state, true, true); }

BENCHMARK(BM_FormatLines);
BENCHMARK(BM_ParseOnly);
BENCHMARK(BM_MixedBlocks);

} // namespace

BENCHMARK_MAIN();
