// CProfileSnapshot: the profiles of the registry, read as the profile store
// reads them at start, for the commands that only look at them.  Unlike the
// store it never writes: a reading command run beside a running Kestrow
// must not save an old copy of the profiles over the user's edits.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <Profile.h>

namespace kestrowctl {

class CProfileSnapshot {
public:
    // Loads every profile of the application key.
    CProfileSnapshot();

    // The record of that name (exact, case-sensitive), or null.
    const kestrow::CProfile *Get(const std::string &name) const;
    // The auto-selection members by priority, then the others by name.
    std::vector<const kestrow::CProfile *> Ordered() const;
    // The auto-selection profile for a network name: among the slots in
    // order, the last member whose SSID equals it (as the store finds the
    // current profile of a connection); null when none.
    const kestrow::CProfile *CurrentFor(const std::string &ssid) const;
    int AutoSelectCount() const { return m_nAutoCount; }

private:
    std::map<std::string, std::unique_ptr<kestrow::CProfile>> m_Profiles;
    int m_nAutoCount = 0;
};

} // namespace kestrowctl
