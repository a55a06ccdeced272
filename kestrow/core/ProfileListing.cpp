#include "ProfileListing.h"

#include <algorithm>

#include "ProfileMngr.h"

namespace kestrow {

CProfileListing::CProfileListing(const CProfileMngr &store) : m_nAutoCount(store.GetAutoSelectCount())
{
    for (const auto &[name, record] : store.Profiles())
        (record->AutoSelect && record->Priority >= 0 ? m_AutoSelection : m_Others).push_back(record.get());
    std::stable_sort(m_AutoSelection.begin(), m_AutoSelection.end(),
                     [](const CProfile *a, const CProfile *b) { return a->Priority < b->Priority; });
}

std::vector<const CProfile *> CProfileListing::Ordered() const
{
    std::vector<const CProfile *> all = m_AutoSelection;
    all.insert(all.end(), m_Others.begin(), m_Others.end());
    return all;
}

const CProfile *CProfileListing::CurrentFor(const std::string &ssid) const
{
    const CProfile *current = nullptr;
    for (const CProfile *record : m_AutoSelection) {
        if (record->Priority < m_nAutoCount && record->NetName == ssid)
            current = record;
    }
    return current;
}

} // namespace kestrow
