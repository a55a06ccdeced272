// CStation: a network seen by a scan, or a profile prepared for the device.
//
// A station is a complete profile record plus the signal level and the
// BSSID.  Unlike a profile, a station's PhyChnl holds the channel number
// (6, 36, 149, ...): a scan reports it so, Apply(Read) reads it so, and the
// constructor from a profile converts the profile's list index.  Apply sends
// the number it holds; the profile store converts it back into an index when
// a station is copied into a new profile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "Profile.h"

namespace kestrow {

// Layout of the scan result block: the command data of the scan results
// variable (0x190).  Two lists of at most 20 entries of 384 bytes each.
inline constexpr std::size_t kScanMoreResults = 0;
inline constexpr std::size_t kScanInfraCount = 1;
inline constexpr std::size_t kScanInfraList = 4;
inline constexpr std::size_t kScanAdHocCount = 7684;
inline constexpr std::size_t kScanAdHocList = 7688;
inline constexpr std::size_t kScanMaxEntries = 20;
inline constexpr std::size_t kScanEntrySize = 384;
inline constexpr std::size_t kScanBlockSize = kScanAdHocList + kScanMaxEntries * kScanEntrySize;

// Fields of one scan entry, by offset from its start.
inline constexpr std::size_t kEntryBssid = 2;
inline constexpr std::size_t kEntrySsidLen = 53;
inline constexpr std::size_t kEntrySsid = 54;
inline constexpr std::size_t kEntryMaxSsid = 32;
inline constexpr std::size_t kEntryPhyType = 88;
inline constexpr std::size_t kEntryChannel = 96;
inline constexpr std::size_t kEntryPrivacy = 99;
inline constexpr std::size_t kEntrySignal = 104;

// "%s;%d" of network name and channel number.
std::string MakeStationKey(const std::string &netName, int channel);

// "%.2X-%.2X-%.2X-%.2X-%.2X-%.2X" of six bytes.
std::string FormatBssid(const std::uint8_t *bytes);

class CStation : public CProfile {
public:
    enum ApplyMode { Read = 0, Connect = 1, SecurityOnly = 2 };

    // A copy of the profile (no section, no priority) whose channel-list
    // index becomes the channel number; `macAddress` may be null.
    CStation(const CProfile &profile, const char *macAddress, std::int32_t linkQuality);
    // A station from one scan entry (`entry` shorter than an entry, or empty,
    // gives the loaded defaults only).  Starts from the values directly under
    // the application key, as a profile loaded from an empty section.
    CStation(std::span<const std::uint8_t> entry, bool adhoc);
    CStation(const CStation &other);
    ~CStation() override;

    // The station's key: MakeStationKey(NetName, PhyChnl).
    std::string Key() const;

    // Writes the record to the adapter (Connect), only its security settings
    // (SecurityOnly), or reads the current connection into it (Read), in one
    // batch of communication variables.  True when every variable succeeded.
    bool Apply(ApplyMode mode);

    std::int32_t LinkQuality = 0;
    std::string MacAddress;
};

} // namespace kestrow
