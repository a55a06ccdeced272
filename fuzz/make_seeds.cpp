// Writes a small seed corpus for each fuzz harness:
//   fuzz_seeds DIR   ->  DIR/<harness>/
// The device-side seeds are what our simulated adapter actually sends and
// answers in a short session; the hive seed is a file our registry writes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include "Adapter.h"
#include "Clock.h"
#include "CommandCodes.h"
#include "RadioEnvironment.h"
#include "Scenario.h"
#include "Station.h"
#include "HiveFile.h"
#include "platform/Registry.h"

#include "FuzzScenario.h"
#include "FuzzTempDir.h"

namespace {

namespace w = lunmark_wire;
namespace fs = std::filesystem;
using namespace std::string_literals;

bool write(const fs::path& dir, const std::string& name, const std::string& bytes)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::ofstream out(dir / name, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

std::string file_text(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Little-endian bytes of `value`, `size` of them.
std::string le(std::uint32_t value, int size = 4)
{
    std::string s;
    for (int i = 0; i < size; ++i)
        s.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
    return s;
}

// A trace block as the driver sends it, after the raw stream harness's
// format text: messages, modem blocks (`variant` 1: all of the largest
// size; 2: each followed by a message with a bad count), padding.
std::string trace_seed(const std::string& format, int variant)
{
    std::string s = le(static_cast<std::uint32_t>(format.size()), 1) + format;
    std::uint32_t block = 0;
    for (std::uint32_t round = 0; round < 24; ++round) {
        s += le(round | 1u << 16 | (round % 3) << 24); // firmware message, module 1
        for (std::uint32_t p = 0; p < round % 3; ++p)
            s += le(round * 1000 + p);
        const std::uint32_t words = variant == 1 ? 64 : 5 + round;
        s += le(words | (round % 2 == 0 ? 0x3Eu : 0x3Fu) << 16); // modem 1 or 2
        for (std::uint32_t k = 0; k < words; ++k)
            s += le(k == 0 ? 0xBABE0000u + block++ : k);
        if (variant == 2)
            s += le(1u | 2u << 16 | 3u << 24);
    }
    for (int k = 0; k < 80; ++k)
        s += le(0xFFFFFFFFu);
    return s;
}

// One chunk of the adapter harness's input (see adapter_sim_fuzz.cpp): its
// op byte and payload; for op kind 1 the payload is a command code and the
// record's command data.
struct Step {
    std::uint8_t op;
    std::string payload;
};

// A short session: probe, join the open network, scan, read the results,
// set a WEP key, touch the EEPROM and modem, poll the trace, and two bad
// messages.
std::vector<Step> session()
{
    namespace cmd = adapter_sim::cmd;
    return {
        {0x40, le(cmd::kVersion)},
        {0x40, le(cmd::kSsidWrite) + "\4Open"},
        {0x40, le(cmd::kConnectModeWrite) + le(2)},
        {0x45, le(cmd::kConnected)},
        {0x40, le(cmd::kChannelRead)},
        {0x40, le(cmd::kScanStart)},
        {0x4F, le(cmd::kScanResults)},
        {0x40, le(cmd::kStatistics)},
        {0x40, le(cmd::kWepKey) + "\0\5\0\0\1\0\0\0\x01\x23\x45\x67\x89"s},
        {0x40, le(cmd::kEepromRead) + le(0) + le(16)},
        {0x40, le(cmd::kModemRead)},
        {0x81, {}},
        {0xC0, std::string(w::kFrameSize, '\0')},
        {0x00, "LMRQ"},
    };
}

// The request message of a step as the harness builds it, numbered as the
// first request of a connection so that its reply seeds the reply harness.
std::vector<std::uint8_t> request_of(const Step& step)
{
    std::vector<std::uint8_t> msg, buffer(step.payload.begin(), step.payload.end());
    switch (step.op >> 6) {
    case 0:
        return buffer;
    case 1: {
        std::vector<std::uint8_t> frame(w::kFrameSize, 0);
        w::put_u32(frame.data(), w::kFrameSignature);
        w::put_u16(frame.data() + 4, static_cast<std::uint16_t>(w::kRecordSize));
        w::put_u32(frame.data() + 8, w::kFrameMagic);
        std::copy_n(buffer.begin(), 4, frame.begin() + w::kFrameRecordOffset);
        std::copy(buffer.begin() + 4, buffer.end(),
                  frame.begin() + w::kFrameRecordOffset + w::kRecordDataOffset);
        w::put_u32(frame.data() + w::kFrameTrailerOffset, ~w::kFrameMagic);
        buffer = frame;
        break;
    }
    case 2:
        w::encode_request(msg, w::kRequestQuery, w::kOidPrivateTrace,
                          std::vector<std::uint8_t>(w::kTraceBlockSize, 0), 1);
        return msg;
    }
    w::encode_request(msg, w::kRequestQuery, w::kOidPrivateCommand, buffer, 1);
    return msg;
}

// Plays the session on a simulated adapter and writes the seeds of the
// adapter, reply and scan block harnesses.
bool device_seeds(const fs::path& root)
{
    const adapter_sim::ScenarioResult parsed = adapter_sim::parse_scenario(fuzz_support::kScenario, "fuzz.scn");
    std::string error = parsed.error;
    const auto fail = [&] {
        std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
        return false;
    };
    if (!parsed.scenario)
        return fail();
    adapter_sim::FakeClock clock;
    adapter_sim::SimStats stats;
    adapter_sim::RadioEnvironment air(parsed.scenario->networks, parsed.scenario->seed);
    adapter_sim::Adapter adapter(parsed.scenario->adapters.at(0), air, clock, stats);
    fuzz_support::TempDir eeprom_dir;
    if (!adapter.open_eeprom(eeprom_dir.path(), error))
        return fail();

    bool ok = true;
    std::string sequence;
    std::vector<std::uint8_t> reply;
    int n = 0;
    for (const Step& step : session()) {
        sequence += le(step.op, 1) + le(static_cast<std::uint32_t>(step.payload.size()), 2) + step.payload;
        clock.advance(static_cast<std::int64_t>(step.op & 0x3F) * 100);
        adapter.handle_message(request_of(step), reply);
        // Reply seeds: the caller's buffer length (a frame, or a trace
        // block), then the reply as the driver sent it.
        const auto length = static_cast<std::uint32_t>(step.op >> 6 == 2 ? w::kTraceBlockSize : w::kFrameSize);
        ok &= write(root / "lunmark100_reply_fuzz", "reply-" + std::to_string(n++),
                    le(length, 2) + std::string(reply.begin(), reply.end()));

        const auto answer = w::decode_reply(reply);
        if (step.op >> 6 == 1 && answer && answer->status == 0 &&
            step.payload.substr(0, 4) == le(adapter_sim::cmd::kScanResults)) {
            // Connected to the open network (00..01 on channel 1), then the
            // scan block of the record's command data, without the zeros
            // the harness pads with.
            const auto data = answer->data.subspan(w::kFrameRecordOffset + w::kRecordDataOffset,
                                                   kestrow::kScanBlockSize);
            std::string block(data.begin(), data.end());
            block.erase(block.find_last_not_of('\0') + 1);
            ok &= write(root / "scan_block_fuzz", "simulated", "\3\0\0\0\0\0\1\1"s + block);
        }
    }
    return write(root / "adapter_sim_fuzz", "session", sequence) && ok;
}

// A profile export as the registry writes it, and the smallest hive.
bool hive_seeds(const fs::path& root)
{
    fuzz_support::TempDir dir;
    std::uint32_t error = 0;
    auto reg = platform::Registry::open(dir.path() + "/registry.sqlite3", &error);
    const std::string key = "Software\\Dovrel\\Configuration Utility";
    const std::string file = dir.path() + "/profiles.hiv";
    if (!reg || reg->set_string(key + "\\Profile 0", "NetName", "CoffeeCorner") != 0 ||
        reg->set_dword(key + "\\Profile 0", "PhyChnl", 6) != 0 ||
        reg->set_string(key + "\\Profile 1", "NetName", "Caf\xC3\xA9 \xFF") != 0 ||
        reg->set_string(key + "\\Profile 1", "WepKey", "0 10 0123456789") != 0 ||
        reg->set_dword(key, "Profiles", 2) != 0 || reg->save_key(key, file) != 0)
        return false;
    return write(root / "hive_restore_fuzz", "profiles", file_text(file)) &&
           write(root / "hive_restore_fuzz", "empty", platform::HiveFile::empty_hive());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1], data = fs::path(KESTROW_SOURCE_DIR) / "adapter-sim" / "data";
    struct Seed {
        const char* harness;
        const char* name;
        std::string bytes;
    };
    const std::vector<Seed> seeds = {
        {"raw_stream_fuzz", "plain", trace_seed("\"value %d and %x\"", 0)},
        {"raw_stream_fuzz", "full-blocks", trace_seed("%#08x|%-5u|%+.3d|%c", 1)},
        {"raw_stream_fuzz", "hostile", trace_seed("%s %n %p %f %*d %99999d %", 2)},
        {"ini_fuzz", "crafted",
         "; comment\n[A]\n01050123=\"Rx %d\"\n01050124=Rx\n0105ABCD=\"upper\"\n"
         "  02010001 = \"two %d %d\"  \r\n[a]\n01050123=\"dup\"\n[B\nx=\"%s%n\"\n"},
        {"ini_fuzz", "shipped", file_text(data / "zentil_ReportMessages.ini")},
        {"xml_fuzz", "six-lines",
         "  <Config>\n    <ModulesList name=\"Elements\">\n      <Module name=\"MAC\" tag=\"3\"/>\n"
         "      <Module name=\"PHY\" tag=\"4\"/>\n    </ModulesList>\n  </Config>\n"},
        {"xml_fuzz", "odd",
         "<C>\n<!-- c -->\n<Include Name=\"missing.xml\"/>\n\t<M tag=\"0x10\" name=\" a b \"/>\ntext\n</C>\n"},
        {"xml_fuzz", "shipped", file_text(data / "ZarurUdo.xml")},
        // Texts the pages and profiles write: selector byte, then the text.
        {"conversions_fuzz", "ssid", "\0CoffeeCorner"s},
        {"conversions_fuzz", "ssid-long", "\0"s + std::string(40, 'n')},
        {"conversions_fuzz", "channel", "\1" "149 1"},
        {"conversions_fuzz", "wep-40", "\2" "1 10 A1B2C3D4E5"},
        {"conversions_fuzz", "wep-104", "\2" "0 26  0123456789abcdef0123456789 "},
        {"conversions_fuzz", "wep-read", "\6\3\x0d\0\0\2\0\0\0\x01\x23\x45"s},
    };
    bool ok = device_seeds(root) && hive_seeds(root);
    for (const Seed& s : seeds)
        if (!s.bytes.empty()) // a shipped file may be missing
            ok &= write(root / s.harness, s.name, s.bytes);
    if (!ok) {
        std::fprintf(stderr, "fuzz_seeds: cannot write the seeds below %s\n", root.c_str());
        return 1;
    }
    return 0;
}
