#include "ScanBlockBuilder.h"

#include <algorithm>
#include <cstring>

#include "RequestRecord.h"
#include "Station.h"

namespace kestrow::test {

ScanBlockBuilder::ScanBlockBuilder() : bytes_(kRecordDataSize, 0) {}

void ScanBlockBuilder::Put(std::size_t at, const Entry &e)
{
    std::memcpy(&bytes_[at + kEntryBssid], e.bssid, 6);
    const std::size_t length = e.ssidLength >= 0 ? static_cast<std::size_t>(e.ssidLength) : e.ssid.size();
    bytes_[at + kEntrySsidLen] = static_cast<std::uint8_t>(length);
    std::memcpy(&bytes_[at + kEntrySsid], e.ssid.data(), std::min<std::size_t>(e.ssid.size(), 32));
    for (int i = 0; i < 4; ++i) {
        bytes_[at + kEntryPhyType + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(e.phy >> (8 * i));
        bytes_[at + kEntrySignal + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(e.signal) >> (8 * i));
    }
    bytes_[at + kEntryChannel] = static_cast<std::uint8_t>(e.channel);
    bytes_[at + kEntryPrivacy] = e.privacy ? 1 : 0;
}

ScanBlockBuilder &ScanBlockBuilder::Add(std::size_t list, std::size_t countAt, int &count, const Entry &e)
{
    if (count < static_cast<int>(kScanMaxEntries))
        Put(list + static_cast<std::size_t>(count) * kScanEntrySize, e);
    bytes_[countAt] = static_cast<std::uint8_t>(++count);
    return *this;
}

ScanBlockBuilder &ScanBlockBuilder::MoreResults(bool more)
{
    bytes_[kScanMoreResults] = more ? 1 : 0;
    return *this;
}

ScanBlockBuilder &ScanBlockBuilder::Counts(int infra, int adhoc)
{
    bytes_[kScanInfraCount] = static_cast<std::uint8_t>(infra);
    bytes_[kScanAdHocCount] = static_cast<std::uint8_t>(adhoc);
    return *this;
}

} // namespace kestrow::test
