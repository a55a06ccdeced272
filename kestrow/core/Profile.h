// CProfile: one connection profile, kept in a subkey (its section) of the
// application's registry key.
//
// The fields carry the names of their registry values.  PhyChnl of a profile
// is an index into the channel list of its PHY (for 802.11b/g the channel
// number minus 1; for 802.11a an index into 36, 40, ..., 64, 149, ..., 161),
// as the registry has always held it.  A CStation built from a profile holds
// the channel number instead (see Station.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrow {

inline constexpr int kNumSecKeys = 4;

class CProfile {
public:
    // Defaults, empty section.
    CProfile();
    // Stores the section name; loads every field from it when `load` is set.
    CProfile(std::string section, bool load);
    // Copies every field except Section (left empty) and Priority (-1: the
    // copy holds no auto-selection slot until the store gives it one).
    CProfile(const CProfile &other);
    CProfile &operator=(const CProfile &) = delete;
    virtual ~CProfile();

    // Reads every field from the section; a missing value gives its default.
    void Load();
    // Writes every field into the section (creating its key) in one
    // transaction; with `writeCount` then writes "NumOfProfiles" with the
    // number of records in the program's profile store.  False when a write
    // failed.
    bool Save(bool writeCount);
    // Writes an empty "ProfName" into the section (before the section's key
    // is deleted, so a half-deleted key holds no name).
    bool ClearName();
    void SetSection(const std::string &section) { Section = section; }

    // Channel number of a channel-list index for a PHY (0 = 802.11a,
    // 1 = 802.11b, 2 = 802.11g).
    static int ChannelNumber(int phyType, int index);
    // Channel-list index of a channel number; a number between the list's
    // channels maps to the nearest index below it, one outside the list to
    // its first or last index.
    static int ChannelIndex(int phyType, int number);

    std::string Section;
    std::string ProfName;
    std::string NetName;
    bool NetMode = false;  // true: infrastructure, false: ad hoc
    std::int32_t PSType = 0;
    std::int32_t PhyType = 1;
    std::int32_t PhyChnl = 0;
    std::int32_t SecType = 0;
    std::int32_t ActiveSecKey = -1;
    std::array<std::string, kNumSecKeys> SecKey{};
    std::array<std::int32_t, kNumSecKeys> SecKeyLen{};
    bool AutoSelect = false;
    std::int32_t MaxFragment = 0;
    std::int32_t RTSThreshold = 0;
    bool UseFragmentation = false;
    bool UseRTS = false;
    bool ShortPreamble = false;
    std::int32_t MaxTxPower = 0;
    std::int32_t MaxNetRate = 27000000;
    std::int32_t WrLessMode = 0;
    std::int32_t Priority = 0;
    bool Use802_1 = false;
};

} // namespace kestrow
