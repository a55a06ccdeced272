// CStationMngr: the station list built from the adapter's scan results,
// keyed by "<network name>;<channel>", and the record of which station the
// adapter is connected to.  It also notices when a connection is lost.
//
// Pointers to stations are valid only until the next UpdateFromScan; keep
// keys instead.  The list has no lock of its own: the user-interface thread
// uses it under the application's main lock, and so does the polling thread.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <string>

#include "Station.h"

namespace kestrow {
class CKestrowApp;
class CProfileMngr;
}

namespace kestrow {

class CStationMngr {
public:
    using StationMap = std::map<std::string, std::unique_ptr<CStation>>;

    // Whether the list records its connected station in the registry when it
    // goes (the window's list does; a reading command's list does not).
    enum class Persist { ConnectedKey, Nothing };
    // Empty list; sets the polling thread's refresh period to 3 ticks and
    // starts a scan.  `store` is told when the connection is lost; both it
    // and `app` outlive the list.
    CStationMngr(CKestrowApp &app, CProfileMngr &store, Persist persist = Persist::ConnectedKey);
    // Writes ConnectedKey as "ConnectedStation" under the application key
    // (Persist::ConnectedKey only).
    ~CStationMngr();

    CStationMngr(const CStationMngr &) = delete;
    CStationMngr &operator=(const CStationMngr &) = delete;

    // Asks the adapter to scan; 2 when it accepted (the polling thread then
    // refreshes on every tick until the scan is over), 0 otherwise.
    int StartScan();
    // The adapter's connection state; false when it cannot be read.
    bool IsConnected();
    // Rebuilds the list from the latest scan results and tracks the
    // connection.  True while the device reports more results to come.
    bool UpdateFromScan();

    // Updates from the scan results until `done` (when given) holds for the
    // list, the scan is over, or `deadline` passes (checked every 200 ms);
    // false when the deadline ended it.  For a program without a polling
    // thread (kestrowctl).
    bool UpdateUntil(std::chrono::steady_clock::time_point deadline,
                     const std::function<bool(const CStationMngr &)> &done = {});
    CStation *Lookup(const std::string &key) const;
    CStation *GetConnectedStation() const { return Lookup(ConnectedKey); }
    // ConnectedKey becomes the station's key (empty for null).
    void SetConnected(const CStation *station);
    // Stores the station under its key, replacing a station of that key.
    void AddStation(std::unique_ptr<CStation> station);
    void RemoveStation(const std::string &key);
    void RemoveAll();
    // Network view: keeps per network name the station with the strongest
    // signal (and the stations that share its address).
    void MergeByNetwork();

    // Iteration in key order.
    const StationMap &Stations() const { return m_Stations; }
    StationMap::const_iterator begin() const { return m_Stations.begin(); }
    StationMap::const_iterator end() const { return m_Stations.end(); }
    std::size_t GetCount() const { return m_Stations.size(); }

    // The view the list is kept for: the network view merges the list per
    // network name after each update.  Unset: the "View AP or NET"
    // preference decides, as the window left it.
    void SetNetworkView(std::optional<bool> networkView) { m_NetworkView = networkView; }

    std::string ConnectedKey;
    bool WasConnected = false;

private:
    CKestrowApp &m_App;
    CProfileMngr &m_Store;
    Persist m_Persist;
    std::optional<bool> m_NetworkView;
    StationMap m_Stations;
};

} // namespace kestrow
