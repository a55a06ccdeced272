// CConnectOps: the operations that change the adapter's connection, once for
// the window and kestrowctl: connect with a profile, join a surveyed station
// (and record it as an auto-selection profile), and write the security of
// the current connection.
//
// Success means the adapter took every setting AND reported the association
// within the wait (an ad hoc network this program starts counts at once):
// an adapter takes a moment to associate, and a wrong key or a network out
// of range only shows in the state.  Each operation takes the main lock for
// its whole run (bounded wait: it runs on the device worker or in
// kestrowctl, never on the user-interface thread) and does nothing but
// report Busy when it cannot have it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "OpResult.h"

namespace kestrow {

class CKestrowApp;
class CStation;

class CConnectOps {
public:
    // Longest wait for the association after the adapter took the settings.
    static constexpr std::chrono::milliseconds kAssociateWait{10000};
    // Longest wait for the main lock (a polling tick or a page refresh).
    static constexpr std::chrono::milliseconds kLockWait{3000};

    struct Outcome {
        COpResult result;
        // Whether the association was seen (nullopt: not waited for).
        std::optional<bool> associated;
    };
    struct JoinOutcome {
        COpResult result;
        std::optional<bool> associated;
        // The auto-selection profile the join recorded (empty: none).
        std::string profileName;
        // A failure to record the profile after the join itself succeeded
        // (the connection stands): the text to show, empty when none.
        std::string recordError;
    };

    // `associateWait` 0 does not wait for the association (kestrowctl
    // --no-wait): success is the settings taken.
    explicit CConnectOps(CKestrowApp &app, std::chrono::milliseconds associateWait = kAssociateWait,
                         std::chrono::milliseconds lockWait = kLockWait);

    // Connects with the store's profile `name`.  Failure: message 120, and
    // the station list and the store forget the connection.
    Outcome ConnectProfile(const std::string &name);
    // Joins `target`, a copy of a surveyed station with its WEP key filled
    // in when it uses one.  On success the station list's connected station
    // is `target` and the network becomes an auto-selection profile (one
    // with the same network name is replaced and keeps its place).
    // Failure: message 122.
    JoinOutcome JoinStation(const CStation &target);
    // Joins a hidden network: `target` is a surveyed station whose beacons
    // carry no name (its key filled in when it uses WEP) and `netName` the
    // name the user gave.  As JoinStation, but a failure (a wrong name is
    // one) puts the connection that was there before back, so that trying a
    // name costs nothing.
    JoinOutcome JoinHidden(const CStation &target, const std::string &netName);
    // Writes only the security settings of `station`, the connected one,
    // which the caller edited (and whose main lock it holds).  Failure:
    // message 115.
    COpResult EditConnectionSecurity(CStation &station);

    // Whether the adapter reports an association now.
    static bool Associated();
    // Reads the association until it is reported or `wait` has passed.
    static bool WaitForAssociation(std::chrono::milliseconds wait);

private:
    std::optional<bool> AwaitAssociation() const;
    // Applies `station` in connect mode and waits for the association;
    // on failure the station list and the store forget the connection.
    bool ApplyConnect(CStation &station, std::optional<bool> &associated);
    // JoinStation with the main lock held.
    JoinOutcome JoinHeld(const CStation &target);

    CKestrowApp &m_App;
    std::chrono::milliseconds m_AssociateWait;
    std::chrono::milliseconds m_LockWait;
};

} // namespace kestrow
