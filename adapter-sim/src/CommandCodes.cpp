#include "CommandCodes.h"

namespace adapter_sim {

std::string_view command_name(std::uint32_t code) {
    switch (code) {
    case cmd::kVersion: return "VERSION";
    case cmd::kMacRead:
    case cmd::kMacWrite: return "MAC";
    case cmd::kBssid: return "BSSID";
    case cmd::kSsidRead:
    case cmd::kSsidWrite: return "SSID";
    case cmd::kPhyRead:
    case cmd::kPhyWrite: return "PHY";
    case cmd::kSnr: return "SNR";
    case cmd::kScanResults: return "SCAN_RESULTS";
    case cmd::kScanStart: return "SCAN_START";
    case cmd::kNetModeRead:
    case cmd::kNetModeWrite: return "NET_MODE";
    case cmd::kChannelRead:
    case cmd::kChannelWrite: return "CHANNEL";
    case cmd::kStatistics: return "STATISTICS";
    case cmd::kResetStats: return "RESET_STATS";
    case cmd::kWepKey: return "WEP_KEY";
    case cmd::kSecurityRead:
    case cmd::kSecurityWrite: return "SECURITY";
    case cmd::kConnectModeRead:
    case cmd::kConnectModeWrite: return "CONNECT_MODE";
    case cmd::kNetRate: return "NET_RATE";
    case cmd::kConnected: return "CONNECTED";
    case cmd::kRegDomain: return "REG_DOMAIN";
    case cmd::kModemRead: return "MODEM_READ";
    case cmd::kModemWrite: return "MODEM_WRITE";
    case cmd::kEepromRead: return "EEPROM_READ";
    case cmd::kEepromWrite: return "EEPROM_WRITE";
    case cmd::kModemMisc: return "MODEM_MISC";
    default: return {};
    }
}

} // namespace adapter_sim
