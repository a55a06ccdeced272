// Command codes the simulated adapter understands, the completion status
// values it writes into a request_record, and the names the request log
// uses for them.
#pragma once

#include <cstdint>
#include <string_view>

namespace adapter_sim {

namespace cmd {
inline constexpr std::uint32_t kVersion = 0x10;       // identity block; also the probe
inline constexpr std::uint32_t kMacRead = 0x30;
inline constexpr std::uint32_t kMacWrite = 0x40;
inline constexpr std::uint32_t kBssid = 0x50;
inline constexpr std::uint32_t kSsidRead = 0x70;
inline constexpr std::uint32_t kSsidWrite = 0x80;
inline constexpr std::uint32_t kPhyRead = 0x90;
inline constexpr std::uint32_t kPhyWrite = 0x100;
inline constexpr std::uint32_t kSnr = 0x161;
inline constexpr std::uint32_t kScanResults = 0x190;
inline constexpr std::uint32_t kScanStart = 0x200;
inline constexpr std::uint32_t kNetModeRead = 0x210;
inline constexpr std::uint32_t kNetModeWrite = 0x220;
inline constexpr std::uint32_t kChannelRead = 0x350;
inline constexpr std::uint32_t kChannelWrite = 0x360;
inline constexpr std::uint32_t kStatistics = 0x370;
inline constexpr std::uint32_t kResetStats = 0x380;
inline constexpr std::uint32_t kWepKey = 0x400;
inline constexpr std::uint32_t kSecurityRead = 0x420;
inline constexpr std::uint32_t kSecurityWrite = 0x430;
inline constexpr std::uint32_t kConnectModeRead = 0x460;
inline constexpr std::uint32_t kConnectModeWrite = 0x470;
inline constexpr std::uint32_t kNetRate = 0x540;
inline constexpr std::uint32_t kConnected = 0x590;
inline constexpr std::uint32_t kRegDomain = 0x891;
inline constexpr std::uint32_t kModemRead = 2416;
inline constexpr std::uint32_t kModemWrite = 2417;
inline constexpr std::uint32_t kEepromRead = 2418;
inline constexpr std::uint32_t kEepromWrite = 2419;
inline constexpr std::uint32_t kModemMisc = 2420;
} // namespace cmd

// Completion status word of a request_record.
namespace status {
inline constexpr std::uint32_t kDone = 2;         // carried out
inline constexpr std::uint32_t kRejected = 1;     // bad arguments or out of range
inline constexpr std::uint32_t kUnknown = 3;      // command code not known
inline constexpr std::uint32_t kNotAssociated = 4; // needs a connection there is not
} // namespace status

// Name of a command code for the request log ("SSID", "MODEM_READ", ...), or
// an empty view for a code the adapter does not know.
std::string_view command_name(std::uint32_t code);

} // namespace adapter_sim
