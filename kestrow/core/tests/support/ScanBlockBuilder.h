// Crafted scan result blocks for the station and polling tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Station.h"

namespace kestrow::test {

// A scan result block (the command data of variable 0x190) built entry by
// entry.
class ScanBlockBuilder {
public:
    struct Entry {
        std::string ssid;
        int channel = 1;
        std::uint8_t bssid[6] = {0, 0x11, 0x22, 0x33, 0x44, 0x55};
        std::int32_t signal = -60;
        std::uint32_t phy = 2;
        bool privacy = false;
        int ssidLength = -1;  // -1: the SSID's own length
    };
    ScanBlockBuilder();
    ScanBlockBuilder &Infra(const Entry &e) { return Add(kScanInfraList, kScanInfraCount, infra_, e); }
    ScanBlockBuilder &AdHoc(const Entry &e) { return Add(kScanAdHocList, kScanAdHocCount, adhoc_, e); }
    ScanBlockBuilder &MoreResults(bool more);
    // Overrides the entry counts as stored (to play a device that claims more).
    ScanBlockBuilder &Counts(int infra, int adhoc);
    const std::vector<std::uint8_t> &Bytes() const { return bytes_; }

private:
    ScanBlockBuilder &Add(std::size_t list, std::size_t countAt, int &count, const Entry &e);
    void Put(std::size_t at, const Entry &e);
    std::vector<std::uint8_t> bytes_;
    int infra_ = 0;
    int adhoc_ = 0;
};

} // namespace kestrow::test
