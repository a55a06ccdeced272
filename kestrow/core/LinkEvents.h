// CLinkEvents: turns successive readings of the link into the events a user
// is told about: connected, connection lost, adapter removed or found, scan
// finished, and the signal moving from one of the site survey's levels to
// another.  `kestrowctl watch` prints them and the window's notifications
// are made from them, so both agree on what happened.
//
// The first reading only sets the starting point: a program that starts
// while connected reports no "connected".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "AdapterState.h"
#include "SurveyTable.h"

namespace kestrow {

struct CLinkState {
    AdapterState adapter = AdapterState::NotFound;
    bool connected = false;
    std::string ssid;               // bytes; meaningful while connected
    std::optional<int> signalDbm;   // none when not known
    bool scanActive = false;
};

struct CLinkEvent {
    enum class Kind { Connected, Lost, AdapterRemoved, AdapterFound, ScanFinished, SignalChanged };
    Kind kind;
    std::string ssid;                // Connected, Lost, SignalChanged
    std::optional<int> signalDbm;    // Connected, SignalChanged
    std::optional<SignalLevel> level;

    // "connected", "lost", "adapter-removed", "adapter-found",
    // "scan-finished", "signal".
    static const char *KindName(Kind kind);
    static const char *LevelName(SignalLevel level);
};

class CLinkEvents {
public:
    // The events between the previous reading and `now`, in the order they
    // are best told: adapter, then connection, then signal, then scan.
    std::vector<CLinkEvent> Update(const CLinkState &now);

private:
    static bool HasAdapter(AdapterState state)
    {
        return state == AdapterState::Present || state == AdapterState::Returned;
    }
    static std::optional<SignalLevel> LevelOf(const std::optional<int> &dbm)
    {
        return dbm ? std::optional<SignalLevel>(CSurveyTable::LevelOf(*dbm)) : std::nullopt;
    }

    std::optional<CLinkState> m_Last;
};

} // namespace kestrow
