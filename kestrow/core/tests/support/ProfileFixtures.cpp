#include "ProfileFixtures.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include <gtest/gtest.h>
#include <platform/Registry.h>

#include "KestrowApp.h"
#include "RequestRecord.h"
#include "Station.h"

namespace kestrow::test {

namespace {

void DeleteTree(platform::Registry &registry, const std::string &path)
{
    std::vector<std::string> subkeys;
    if (registry.enum_subkeys(path, &subkeys) == 0) {
        for (const std::string &subkey : subkeys)
            DeleteTree(registry, path + "\\" + subkey);
    }
    (void)registry.delete_key(path);
}

void Dump(platform::Registry &registry, const std::string &path, std::ostringstream &out)
{
    out << "[" << path << "]\n";
    std::vector<platform::RegValue> values;
    if (registry.enum_values(path, &values) == 0) {
        for (const auto &v : values) {
            out << v.name << "=";
            if (v.type == platform::RegType::Dword)
                out << "dword:" << v.dword << "\n";
            else
                out << "sz:" << v.text << "\n";
        }
    }
    std::vector<std::string> subkeys;
    if (registry.enum_subkeys(path, &subkeys) == 0) {
        for (const std::string &subkey : subkeys)
            Dump(registry, path + "\\" + subkey, out);
    }
}

} // namespace

void ClearAppKey()
{
    platform::Registry *registry = platform::Registry::current_user();
    ASSERT_NE(registry, nullptr);
    DeleteTree(*registry, CKestrowApp::AppKeyPath());
}

std::string DumpRegistryTree(const std::string &path)
{
    platform::Registry *registry = platform::Registry::current_user();
    if (registry == nullptr)
        return "<no registry>";
    std::ostringstream out;
    Dump(*registry, path, out);
    return out.str();
}

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

ScanBlockBuilder &ScanBlockBuilder::Infra(const Entry &e)
{
    if (infra_ < static_cast<int>(kScanMaxEntries))
        Put(kScanInfraList + static_cast<std::size_t>(infra_) * kScanEntrySize, e);
    bytes_[kScanInfraCount] = static_cast<std::uint8_t>(++infra_);
    return *this;
}

ScanBlockBuilder &ScanBlockBuilder::AdHoc(const Entry &e)
{
    if (adhoc_ < static_cast<int>(kScanMaxEntries))
        Put(kScanAdHocList + static_cast<std::size_t>(adhoc_) * kScanEntrySize, e);
    bytes_[kScanAdHocCount] = static_cast<std::uint8_t>(++adhoc_);
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
