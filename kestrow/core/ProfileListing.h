// CProfileListing: the profiles of a store as the Profiles page and
// "kestrowctl profiles" list them: the auto-selection members in priority
// order, then the others in name order.  Every record is in exactly one of
// the two lists, whatever its priority.
//
// It holds pointers into the store: build it while holding the main lock
// (or owning the store alone, as kestrowctl does) and drop it before the
// store changes.
#pragma once

#include <string>
#include <vector>

namespace kestrow {

class CProfile;
class CProfileMngr;

class CProfileListing {
public:
    explicit CProfileListing(const CProfileMngr &store);

    // Members (AutoSelect with a priority), by priority; equal priorities
    // keep name order.
    const std::vector<const CProfile *> &AutoSelection() const { return m_AutoSelection; }
    // Every other record, by name.
    const std::vector<const CProfile *> &Others() const { return m_Others; }
    // AutoSelection() followed by Others().
    std::vector<const CProfile *> Ordered() const;
    // The auto-selection profile of a network: among the slots in order,
    // the last member whose network name equals `ssid` (as the store finds
    // the current profile of a connection).  Null when none.
    const CProfile *CurrentFor(const std::string &ssid) const;

private:
    std::vector<const CProfile *> m_AutoSelection;
    std::vector<const CProfile *> m_Others;
    int m_nAutoCount = 0;
};

} // namespace kestrow
