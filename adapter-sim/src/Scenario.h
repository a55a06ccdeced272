// A scenario: the adapters the simulator plays and the radio networks in
// range of them, read from a small line-oriented text file (format in
// adapter-sim/README.md and scenarios/default.scn).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace adapter_sim {

using MacAddress = std::array<std::uint8_t, 6>;

enum class Phy : std::uint32_t { A = 0, B = 1, G = 2 };

struct NetworkSpec {
    std::string ssid;             // raw bytes, at most 32
    bool hidden = false;          // beacons carry an empty SSID
    MacAddress bssid{};
    int channel = 0;
    Phy phy = Phy::G;
    bool adhoc = false;
    bool wep = false;
    // WEP keys by index 0..3; an empty entry is a slot the network does not use.
    std::array<std::vector<std::uint8_t>, 4> keys;
    int signal_dbm = -60;         // mean level at the adapter
    int drift_db = 3;             // slow random drift, +/- this much
    std::int64_t disappear_at_ms = -1; // switched off at this time; -1 never
    int line = 0;                 // where it was defined
};

struct TrafficModel {
    std::uint32_t tx_pps = 20;    // frames sent per second while connected
    std::uint32_t rx_pps = 60;    // frames received per second
    std::uint32_t tx_size = 300;  // mean bytes per sent frame
    std::uint32_t rx_size = 900;  // mean bytes per received frame
};

struct AdapterSpec {
    std::string name;                      // device name = socket file name
    std::string description = "Simulated USB 802.11a/b/g wireless adapter";
    MacAddress mac{0x00, 0x0E, 0x2E, 0x4C, 0x19, 0x7A};
    std::uint32_t reg_domain = 0x10;
    std::array<std::uint32_t, 4> driver_version{2, 1, 0, 17};
    std::array<std::uint32_t, 2> firmware{0x00020001u, 0x00050013u};
    std::array<std::uint32_t, 2> nvm{0x0002u, 0x0011u}; // words at data 148 and 0
    std::string eeprom_path;               // empty: <adapter dir>/<name>.eeprom
    std::uint32_t eeprom_size = 4096;
    bool answers_probe = true;
    std::int64_t latency_ms = 0;
    std::int64_t link_drop_at_ms = -1;
    std::int64_t vanish_at_ms = -1;
    std::int64_t vanish_for_ms = -1;       // -1: until "appear"
    TrafficModel traffic;
    std::uint32_t counter_start = 0;
    std::int64_t scan_time_ms = 2000;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> reg7, reg9;
    int line = 0;
};

struct Scenario {
    std::uint64_t seed = 1;
    std::vector<AdapterSpec> adapters;     // at least one after parsing
    std::vector<NetworkSpec> networks;
};

struct ScenarioResult {
    std::optional<Scenario> scenario;
    std::string error;                     // "FILE:LINE: problem" on failure
};

// Parses scenario text; `file_name` names it in errors and is the base for
// relative EEPROM paths.
ScenarioResult parse_scenario(std::string_view text, const std::string &file_name);
ScenarioResult load_scenario(const std::string &path);

// Helpers shared with the control commands.
std::optional<MacAddress> parse_mac(std::string_view text);
std::string format_mac(const MacAddress &mac);
// Decodes an SSID written bare or in double quotes with \\, \" and \xNN
// escapes; nullopt when malformed or longer than 32 bytes.
std::optional<std::string> parse_ssid(std::string_view text);
// Printable form of SSID bytes: quoted, non-printable bytes as \xNN.
std::string quote_ssid(std::string_view ssid);
// Decimal or 0x-prefixed hexadecimal unsigned number.
std::optional<std::uint64_t> parse_number(std::string_view text);

} // namespace adapter_sim
