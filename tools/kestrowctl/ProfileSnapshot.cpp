#include "ProfileSnapshot.h"

#include <algorithm>

#include <KestrowApp.h>
#include <ProfileMngr.h>
#include <platform/Registry.h>
#include <platform/Win32Error.h>

namespace kestrowctl {

using kestrow::CKestrowApp;
using kestrow::CProfile;

CProfileSnapshot::CProfileSnapshot()
{
    platform::Registry *registry = platform::Registry::current_user();
    const int n = kestrow::theApp().GetProfileInt("", kestrow::kNumOfProfiles, 0);
    if (registry == nullptr || n <= 0)
        return;
    // The same scan as the store's: "Profile 0", "Profile 1", ... until 100
    // keys were found absent (fewer once n profiles are found).
    constexpr int kScanLimit = 100;
    bool memberSeen = false;
    int absent = 0;
    int found = 0;
    for (int i = 0; absent < kScanLimit && (absent < kScanLimit - n || found < n); ++i) {
        const std::string section = "Profile " + std::to_string(i);
        if (registry->open_key(CKestrowApp::SectionKeyPath(section)) != platform::kErrorSuccess) {
            ++absent;
            continue;
        }
        ++found;
        auto record = std::make_unique<CProfile>(section, true);
        if (record->ProfName.empty())
            continue;  // a key whose deletion did not finish
        if (record->AutoSelect) {
            m_nAutoCount = std::max(m_nAutoCount, record->Priority);
            memberSeen = true;
        } else {
            record->Priority = -1;
        }
        const std::string name = record->ProfName;
        m_Profiles[name] = std::move(record);
    }
    if (memberSeen)
        ++m_nAutoCount;
}

const CProfile *CProfileSnapshot::Get(const std::string &name) const
{
    const auto it = m_Profiles.find(name);
    return it == m_Profiles.end() ? nullptr : it->second.get();
}

std::vector<const CProfile *> CProfileSnapshot::Ordered() const
{
    std::vector<const CProfile *> members;
    std::vector<const CProfile *> others;
    for (const auto &[name, record] : m_Profiles)
        (record->AutoSelect && record->Priority >= 0 ? members : others).push_back(record.get());
    std::stable_sort(members.begin(), members.end(),
                     [](const CProfile *a, const CProfile *b) { return a->Priority < b->Priority; });
    members.insert(members.end(), others.begin(), others.end());
    return members;
}

const CProfile *CProfileSnapshot::CurrentFor(const std::string &ssid) const
{
    const CProfile *current = nullptr;
    for (const CProfile *record : Ordered()) {
        if (record->AutoSelect && record->Priority >= 0 && record->Priority < m_nAutoCount &&
            record->NetName == ssid)
            current = record;
    }
    return current;
}

} // namespace kestrowctl
