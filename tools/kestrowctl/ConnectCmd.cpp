#include "ConnectCmd.h"

#include <ConnectOps.h>
#include <KestrowApp.h>
#include <ProfileMngr.h>
#include <Station.h>
#include <StationMngr.h>
#include <StringTable.h>

#include <chrono>
#include <optional>

#include "CtlArgs.h"
#include "CtlError.h"
#include "CtlSession.h"
#include "JsonWriter.h"
#include "ProfileCmd.h"
#include "ScanCmd.h"

namespace kestrowctl {

using namespace kestrow;

namespace {

// The wait for the association: none with --no-wait.
std::chrono::milliseconds AssociateWait(const CCtlSession &session, bool noWait)
{
    return noWait ? std::chrono::milliseconds::zero() : std::chrono::seconds(session.Options().timeoutSecs);
}

[[noreturn]] void Fail(const COpResult &result, const std::optional<bool> &associated, int timeoutSecs)
{
    if (result.status == OpStatus::Busy)
        throw Failure("Kestrow's main lock stayed busy; try again");
    std::string text = result.Describe();
    if (associated && !*associated)
        text += " (the adapter did not associate within " + std::to_string(timeoutSecs) + " s)";
    throw Failure(text);
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

    const bool noWait = args.Flag("--no-wait");
    const auto outcome = CConnectOps(theApp(), AssociateWait(session, noWait)).ConnectProfile(name);
    if (!outcome.result.Ok())
        Fail(outcome.result, outcome.associated, session.Options().timeoutSecs);
    const auto &associated = outcome.associated;

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
    args.Accept({"--no-wait", "--hidden"}, {"--key-index", "--key"});
    args.ExpectWords(1, 1, "join [--hidden] SSID [--key-index N --key HEX] [--no-wait]");
    const std::string &ssid = args.Words()[1];
    // A hidden network's beacons carry no name: its station is found by its
    // empty name and joined with the name given.
    const bool hidden = args.Flag("--hidden");
    if (hidden && (ssid.empty() || ssid.size() > 32))
        throw UsageError("a network name has 1 to 32 bytes");
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
        if (station->NetName == (hidden ? std::string() : ssid) && (best == nullptr || station->LinkQuality > best->LinkQuality))
            best = station.get();
    }
    if (best == nullptr && hidden)
        throw Failure("no hidden network was found by the scan");
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

    CConnectOps ops(theApp(), AssociateWait(session, args.Flag("--no-wait")));
    const auto outcome = hidden ? ops.JoinHidden(target, ssid) : ops.JoinStation(target);
    if (hidden)
        target.NetName = ssid;
    if (!outcome.result.Ok())
        Fail(outcome.result, outcome.associated, session.Options().timeoutSecs);
    if (!outcome.recordError.empty())
        throw Failure(outcome.recordError);
    const auto &associated = outcome.associated;
    const std::string &name = outcome.profileName;
    const CProfile *record = store.Get(name);
    if (record == nullptr)
        throw Failure("the profile for '" + EscapeText(ssid) + "' could not be created");

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
