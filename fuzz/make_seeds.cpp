// Writes a small seed corpus for each fuzz harness:
//   fuzz_seeds DIR   ->  DIR/<harness>/
// The device-side seeds are what our simulated adapter actually sends and
// answers in a short session; the hive seed is a file our registry writes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
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

bool write(const fs::path& dir, const std::string& name, const std::string& bytes)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::ofstream out(dir / name, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

void word(std::string& s, std::uint32_t w)
{
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((w >> (8 * i)) & 0xFF));
}

std::uint32_t fw(std::uint16_t id, std::uint8_t tag, std::uint8_t count)
{
    return id | static_cast<std::uint32_t>(tag) << 16 | static_cast<std::uint32_t>(count) << 24;
}

// A trace block as the driver sends it: messages, modem blocks, padding.
std::string trace_seed(const std::string& format, int variant)
{
    std::string s(1, static_cast<char>(format.size()));
    s += format;
    std::uint16_t block = 0;
    for (int round = 0; round < 24; ++round) {
        word(s, fw(static_cast<std::uint16_t>(round), 1, static_cast<std::uint8_t>(round % 3)));
        for (int p = 0; p < round % 3; ++p)
            word(s, static_cast<std::uint32_t>(round * 1000 + p));
        const std::uint16_t type = round % 2 == 0 ? 0x3E : 0x3F;
        const std::uint16_t n = static_cast<std::uint16_t>(variant == 1 ? 64 : 5 + round);
        word(s, n | static_cast<std::uint32_t>(type) << 16);
        for (std::uint16_t k = 0; k < n; ++k)
            word(s, k == 0 ? 0xBABE0000u + block++ : k);
        if (variant == 2)
            word(s, fw(1, 2, 3)); // a bad count
    }
    for (int k = 0; k < 80; ++k)
        word(s, 0xFFFFFFFFu);
    return s;
}

std::string file_text(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}


// One chunk of the adapter harness's input (see adapter_sim_fuzz.cpp).
void chunk(std::string &s, std::uint8_t op, const std::string &payload)
{
    s.push_back(static_cast<char>(op));
    s.push_back(static_cast<char>(payload.size() & 0xFF));
    s.push_back(static_cast<char>(payload.size() >> 8));
    s += payload;
}

std::string command(std::uint32_t code, const std::string &data = {})
{
    std::string s;
    word(s, code);
    word(s, 0);  // status
    return s + data;
}

struct Step {
    std::uint8_t op;      // as in the adapter harness
    std::string payload;  // for op kind 1: code, status, command data
};

// A short session: probe, join the open network, scan, read the results,
// set a WEP key, touch the EEPROM and modem, poll the trace, and two bad
// messages.
std::vector<Step> session()
{
    std::string ssid(1, 4);
    ssid += "Open";
    std::string mode;
    word(mode, 2);
    std::string eeprom;
    word(eeprom, 0);
    word(eeprom, 16);
    std::string wep = {0, 5, 0, 0, 1, 0, 0, 0};
    wep += std::string("\x01\x23\x45\x67\x89", 5);
    std::string bad_frame(w::kFrameSize, '\0');
    std::string short_message = "LMRQ";
    return {
        {0x40, command(adapter_sim::cmd::kVersion)},
        {0x40, command(adapter_sim::cmd::kSsidWrite, ssid)},
        {0x40, command(adapter_sim::cmd::kConnectModeWrite, mode)},
        {0x45, command(adapter_sim::cmd::kConnected)},
        {0x40, command(adapter_sim::cmd::kChannelRead)},
        {0x40, command(adapter_sim::cmd::kScanStart)},
        {0x4F, command(adapter_sim::cmd::kScanResults)},
        {0x40, command(adapter_sim::cmd::kStatistics)},
        {0x40, command(adapter_sim::cmd::kWepKey, wep)},
        {0x40, command(adapter_sim::cmd::kEepromRead, eeprom)},
        {0x40, command(adapter_sim::cmd::kModemRead)},
        {0x81, {}},
        {0xC0, bad_frame},
        {0x00, short_message},
    };
}

// The request message of a step, as the harness builds it, numbered as the
// first request of a connection so that its reply seeds the reply harness.
std::vector<std::uint8_t> request_of(const Step &step)
{
    std::vector<std::uint8_t> msg;
    const auto *p = reinterpret_cast<const std::uint8_t *>(step.payload.data());
    const std::span<const std::uint8_t> payload(p, step.payload.size());
    switch (step.op >> 6) {
    case 0:
        msg.assign(payload.begin(), payload.end());
        break;
    case 1: {
        std::vector<std::uint8_t> frame(w::kFrameSize, 0);
        w::put_u32(frame.data(), w::kFrameSignature);
        w::put_u16(frame.data() + 4, static_cast<std::uint16_t>(w::kRecordSize));
        w::put_u32(frame.data() + 8, w::kFrameMagic);
        std::copy_n(payload.begin(), std::min(payload.size(), w::kRecordSize), frame.begin() + w::kFrameRecordOffset);
        w::put_u32(frame.data() + w::kFrameTrailerOffset, ~w::kFrameMagic);
        w::encode_request(msg, w::kRequestQuery, w::kOidPrivateCommand, frame, 1);
        break;
    }
    case 2: {
        const std::vector<std::uint8_t> block(w::kTraceBlockSize, 0);
        w::encode_request(msg, w::kRequestQuery, w::kOidPrivateTrace, block, 1);
        break;
    }
    default:
        w::encode_request(msg, w::kRequestQuery, w::kOidPrivateCommand, payload, 1);
        break;
    }
    return msg;
}

// Plays the session on a simulated adapter and writes the seeds of the
// adapter, reply and scan block harnesses.
bool device_seeds(const fs::path &root)
{
    adapter_sim::ScenarioResult parsed = adapter_sim::parse_scenario(fuzz_support::kScenario, "fuzz.scn");
    if (!parsed.scenario) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", parsed.error.c_str());
        return false;
    }
    const adapter_sim::Scenario &sc = *parsed.scenario;
    adapter_sim::FakeClock clock;
    adapter_sim::SimStats stats;
    adapter_sim::RadioEnvironment air(sc.networks, sc.seed);
    adapter_sim::Adapter adapter(sc.adapters.at(0), air, clock, stats);
    fuzz_support::TempDir eeprom_dir;
    std::string error;
    if (!adapter.open_eeprom(eeprom_dir.path(), error)) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
        return false;
    }

    bool ok = true;
    std::string sequence;
    std::vector<std::uint8_t> reply;
    int n = 0;
    for (const Step &step : session()) {
        chunk(sequence, step.op, step.payload);
        clock.advance(static_cast<std::int64_t>(step.op & 0x3F) * 100);
        adapter.handle_message(request_of(step), reply);
        // Reply seeds: the caller's buffer length (a frame, or a trace
        // block), then the reply as the driver sent it.
        const std::uint16_t length = step.op >> 6 == 2 ? w::kTraceBlockSize : w::kFrameSize;
        std::string seed;
        seed.push_back(static_cast<char>(length & 0xFF));
        seed.push_back(static_cast<char>(length >> 8));
        seed.append(reply.begin(), reply.end());
        ok &= write(root / "lunmark100_reply_fuzz", "reply-" + std::to_string(n++), seed);

        const auto answer = w::decode_reply(reply);
        if (step.payload.size() >= 4 && step.op >> 6 == 1 && answer && answer->status == 0 &&
            w::get_u32(reinterpret_cast<const std::uint8_t *>(step.payload.data())) ==
                adapter_sim::cmd::kScanResults) {
            // Connected to the open network (00..01 on channel 1), then the
            // scan block of the record's command data.
            std::string scan = {3, 0, 0, 0, 0, 0, 1, 1};
            const auto data = answer->data.subspan(w::kFrameRecordOffset + w::kRecordDataOffset,
                                                   kestrow::kScanBlockSize);
            std::string block(data.begin(), data.end());
            while (!block.empty() && block.back() == '\0')
                block.pop_back();  // the harness pads with zeros
            ok &= write(root / "scan_block_fuzz", "simulated", scan + block);
        }
    }
    ok &= write(root / "adapter_sim_fuzz", "session", sequence);
    return ok;
}

// A profile export as the registry writes it, and the smallest hive.
bool hive_seeds(const fs::path &root)
{
    fuzz_support::TempDir dir;
    std::uint32_t error = 0;
    auto reg = platform::Registry::open(dir.path() + "/registry.sqlite3", &error);
    if (!reg)
        return false;
    const std::string key = "Software\\Dovrel\\Configuration Utility";
    const std::string file = dir.path() + "/profiles.hiv";
    if (reg->set_string(key + "\\Profile 0", "NetName", "CoffeeCorner") != 0 ||
        reg->set_dword(key + "\\Profile 0", "PhyChnl", 6) != 0 ||
        reg->set_string(key + "\\Profile 1", "NetName", "Caf\xC3\xA9 \xFF") != 0 ||
        reg->set_string(key + "\\Profile 1", "WepKey", "0 10 0123456789") != 0 ||
        reg->set_dword(key, "Profiles", 2) != 0 || reg->save_key(key, file) != 0)
        return false;
    bool ok = write(root / "hive_restore_fuzz", "profiles", file_text(file));
    ok &= write(root / "hive_restore_fuzz", "empty", platform::HiveFile::empty_hive());
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path data = fs::path(KESTROW_SOURCE_DIR) / "adapter-sim" / "data";
    bool ok = true;
    ok &= write(root / "raw_stream_fuzz", "plain", trace_seed("\"value %d and %x\"", 0));
    ok &= write(root / "raw_stream_fuzz", "full-blocks", trace_seed("%#08x|%-5u|%+.3d|%c", 1));
    ok &= write(root / "raw_stream_fuzz", "hostile", trace_seed("%s %n %p %f %*d %99999d %", 2));

    ok &= write(root / "ini_fuzz", "crafted",
                "; comment\n[A]\n01050123=\"Rx %d\"\n01050124=Rx\n0105ABCD=\"upper\"\n"
                "  02010001 = \"two %d %d\"  \r\n[a]\n01050123=\"dup\"\n[B\nx=\"%s%n\"\n");
    const std::string ini = file_text(data / "zentil_ReportMessages.ini");
    if (!ini.empty())
        ok &= write(root / "ini_fuzz", "shipped", ini);

    ok &= write(root / "xml_fuzz", "six-lines",
                "  <Config>\n    <ModulesList name=\"Elements\">\n      <Module name=\"MAC\" tag=\"3\"/>\n"
                "      <Module name=\"PHY\" tag=\"4\"/>\n    </ModulesList>\n  </Config>\n");
    ok &= write(root / "xml_fuzz", "odd",
                "<C>\n<!-- c -->\n<Include Name=\"missing.xml\"/>\n\t<M tag=\"0x10\" name=\" a b \"/>\n"
                "text\n</C>\n");
    const std::string xml = file_text(data / "ZarurUdo.xml");
    if (!xml.empty())
        ok &= write(root / "xml_fuzz", "shipped", xml);

    ok &= device_seeds(root);
    ok &= hive_seeds(root);

    // Texts the pages and profiles write: selector byte, then the text.
    ok &= write(root / "conversions_fuzz", "ssid", std::string("\0", 1) + "CoffeeCorner");
    ok &= write(root / "conversions_fuzz", "ssid-long", std::string("\0", 1) + std::string(40, 'n'));
    ok &= write(root / "conversions_fuzz", "channel", std::string("\1", 1) + "149 1");
    ok &= write(root / "conversions_fuzz", "wep-40", std::string("\2", 1) + "1 10 A1B2C3D4E5");
    ok &= write(root / "conversions_fuzz", "wep-104", std::string("\2", 1) + "0 26  0123456789abcdef0123456789 ");
    ok &= write(root / "conversions_fuzz", "wep-read", std::string("\6\3\x0d\0\0\2\0\0\0", 9) + "\x01\x23\x45");

    if (!ok) {
        std::fprintf(stderr, "fuzz_seeds: cannot write the seeds below %s\n", root.c_str());
        return 1;
    }
    return 0;
}
