// CStatusSnapshot: everything the General, Statistics and About pages and
// `kestrowctl status` show, read in one go by CStatusReader.  Texts are the
// pages' own; a value whose read failed keeps the text it had at the last
// read that succeeded (empty before any), as a page's control would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrow {

struct CStatusSnapshot {
    // The library has an adapter open.
    bool adapterPresent = false;
    // The adapter reports an association.
    bool connected = false;

    // General page ("Connection" and "Link Status").
    std::string ssid, netMode, channelFreq, maxRate, security, activeProfile;
    std::string linkQuality, received, sent, netRate;
    // Raw values for scripts (nullopt: not read).
    std::optional<int> channel;
    std::optional<std::int64_t> receivedBytes, sentBytes;
    std::optional<int> signalDbm;

    // Statistics page.
    std::string signal;  // link quality, or "N/A" when not connected
    std::string phyRate; // the connected station's "11 Mbps" / "54 Mbps"
    std::string snr;     // "<n> dB", empty when it cannot be read
    std::optional<int> snrDb;
    std::int32_t rxKBps = 0, txKBps = 0;

    // About page.
    std::string driverVersion, firmwareVersion, nvmVersion, macAddress, regDomain;

    static constexpr const char *kDeviceName = "802.11g Wireless Adapter";
    static constexpr const char *kUtilityVersion = "2.1.2 / 23 Feb 2004";

    // The tray tooltip that goes with this state.
    std::string TipText() const;
};

} // namespace kestrow
