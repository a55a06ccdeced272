#include "ConnectCmd.h"

#include <KestrowApp.h>
#include <ProfileMngr.h>
#include <Station.h>
#include <StationMngr.h>
#include <StringTable.h>

#include "CtlArgs.h"
#include "CtlError.h"
#include "CtlSession.h"
#include "DeviceQuery.h"
#include "JsonWriter.h"
#include "ProfileCmd.h"
#include "ScanCmd.h"

namespace kestrowctl {

using namespace kestrow;

namespace {

// After the adapter took the settings: waits for the association, unless
// the caller asked not to.  Nothing when not waited for.
std::optional<bool> Associate(const CCtlSession &session, bool noWait)
{
    if (noWait)
        return std::nullopt;
    return WaitForAssociation(session.Options().timeoutSecs);
}

std::string NotAssociated(int messageId, int timeoutSecs)
{
    return LoadString(messageId) + " (the adapter did not associate within " + std::to_string(timeoutSecs) + " s)";
}

} // namespace

std::string CConnectCmd::Connect(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({"--no-wait"}, {});
    args.ExpectWords(1, 1, "connect PROFILE [--no-wait]");
    const std::string &name = args.Words()[1];
    const CProfile *profile = session.ReadStore().Get(name);
    if (profile == nullptr)
        throw Failure("no profile named '" + EscapeText(name) + "'");
    session.ConnectAdapter();

    // A station record built from the profile, applied in connect mode.
    CStation station(*profile, nullptr, 0);
    if (!station.Apply(CStation::Connect))
        throw Failure(LoadString(IDS_PROFILE_CONNECT_FAILED));
    const auto associated = Associate(session, args.Flag("--no-wait"));
    if (associated && !*associated)
        throw Failure(NotAssociated(IDS_PROFILE_CONNECT_FAILED, session.Options().timeoutSecs));

    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("profile").String(profile->ProfName);
        w.Key("ssid").String(profile->NetName);
        w.Key("ssid_hex").String(HexBytes(profile->NetName));
        w.Key("associated");
        if (associated)
            w.Bool(*associated);
        else
            w.Null();
        w.EndObject();
        return w.Take();
    }
    return std::string(associated ? "Connected to " : "Connecting to ") + EscapeText(profile->NetName) +
           " with profile '" + EscapeText(profile->ProfName) + "'\n";
}

std::string CConnectCmd::Join(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({"--no-wait"}, {"--key-index", "--key"});
    args.ExpectWords(1, 1, "join SSID [--key-index N --key HEX] [--no-wait]");
    const std::string &ssid = args.Words()[1];
    const auto keyIndexText = args.Value("--key-index");
    const auto keyText = args.Value("--key");
    if (keyIndexText.has_value() != keyText.has_value())
        throw UsageError("--key-index and --key go together");
    std::optional<int> keyIndex;
    std::optional<std::string> key;
    if (keyText) {
        keyIndex = ParseInt(*keyIndexText, 1, 4);
        if (!keyIndex)
            throw UsageError("--key-index takes a key index from 1 to 4");
        key = ParseWepKey(*keyText);
        if (!key)
            throw UsageError(LoadString(IDS_NEED_SECURITY_KEY) + " (--key takes 10 or 26 hexadecimal digits)");
    }

    // The join records a profile: refused before anything happens while
    // Kestrow runs.
    CProfileMngr &store = session.Store();
    CStationMngr &stations = CScanCmd::Scan(session, false);
    const CStation *best = nullptr;
    for (const auto &[stationKey, station] : stations) {
        if (station->NetName == ssid && (best == nullptr || station->LinkQuality > best->LinkQuality))
            best = station.get();
    }
    if (best == nullptr)
        throw Failure("network '" + EscapeText(ssid) + "' was not found by the scan");
    // The list is rebuilt at its next update: work on a copy.
    CStation target(*best);
    if (target.SecType != 0 && !key)
        throw UsageError("network '" + EscapeText(ssid) +
                         "' uses WEP: give its key with --key-index N --key HEX");
    if (target.SecType == 0 && key)
        throw UsageError("network '" + EscapeText(ssid) + "' is open and takes no key");
    if (key) {
        const auto i = static_cast<std::size_t>(*keyIndex - 1);
        target.SecKey[i] = *key;
        target.SecKeyLen[i] = key->size() == 26 ? 1 : 0;
        target.ActiveSecKey = *keyIndex - 1;
    }

    if (!target.Apply(CStation::Connect)) {
        stations.SetConnected(nullptr);
        throw Failure(LoadString(IDS_STATION_CONNECT_FAILED));
    }
    const auto associated = Associate(session, args.Flag("--no-wait"));
    if (associated && !*associated) {
        stations.SetConnected(nullptr);
        throw Failure(NotAssociated(IDS_STATION_CONNECT_FAILED, session.Options().timeoutSecs));
    }
    stations.SetConnected(&target);

    // The network becomes an auto-selection profile; one with the same
    // network name is replaced and its place in the order kept.
    int priority = -1;
    if (CProfile *old = store.FindByNetName(target.NetName)) {
        priority = old->AutoSelect ? old->Priority : -1;
        const std::string oldName = old->ProfName;
        store.Remove(oldName, false, true);
    }
    const std::string name = store.AddNew(&target);
    CProfile *record = store.Get(name);
    if (record == nullptr)
        throw Failure("the profile for '" + EscapeText(ssid) + "' could not be created");
    record->AutoSelect = true;
    // A replaced profile outside auto-selection had no place to keep.
    record->Priority = priority >= 0 ? priority : store.UpdatePriorities(-1);
    session.SaveStore();

    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("ssid").String(target.NetName);
        w.Key("ssid_hex").String(HexBytes(target.NetName));
        w.Key("mac").String(target.MacAddress);
        w.Key("channel").Int(target.PhyChnl);
        w.Key("associated");
        if (associated)
            w.Bool(*associated);
        else
            w.Null();
        w.Key("profile");
        WriteProfileJson(w, *record, associated.value_or(false));
        w.EndObject();
        return w.Take();
    }
    return std::string(associated ? "Connected to " : "Connecting to ") + EscapeText(target.NetName) + " (" +
           target.MacAddress + ", channel " + std::to_string(target.PhyChnl) + "); recorded as profile '" +
           EscapeText(name) + "' with auto-selection priority " + std::to_string(record->Priority + 1) + "\n";
}

} // namespace kestrowctl
