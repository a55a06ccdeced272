#include "StatusCmd.h"

#include <chrono>
#include <optional>

#include <ConnectOps.h>
#include <KestrowApp.h>
#include <ProfileListing.h>
#include <ProfileMngr.h>
#include <StationMngr.h>
#include <StatusReader.h>
#include <StringTable.h>

#include "CtlArgs.h"
#include "CtlSession.h"
#include "JsonWriter.h"

namespace kestrowctl {

using namespace kestrow;

namespace {

std::optional<std::string> Opt(const std::string &text)
{
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

std::optional<std::int64_t> Opt(const std::optional<int> &value)
{
    return value ? std::optional<std::int64_t>(*value) : std::nullopt;
}

// The status as the window's pages show it.  The station list (which gives
// the link quality) is brought up to date first, waiting (bounded) for a
// scan to report the connected network; this process has no polling thread
// to do it.
CStatusSnapshot Gather(CCtlSession &session)
{
    CKestrowApp &app = theApp();
    if (CConnectOps::Associated()) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(session.Options().timeoutSecs);
        (void)session.Stations().UpdateUntil(deadline, [](const CStationMngr &stations) {
            return stations.GetConnectedStation() != nullptr;
        });
    }
    CStatusSnapshot s = app.StatusReader().ReadAll();
    // A new process has no current profile: name the auto-selection
    // profile of the connected network, as the window would after it
    // connected with it.
    if (s.connected && s.activeProfile.empty()) {
        if (const CProfile *profile = CProfileListing(session.ReadStore()).CurrentFor(s.ssid))
            s.activeProfile = profile->ProfName;
    }
    return s;
}

std::string Json(const CStatusSnapshot &s)
{
    const auto when = [&s](const std::string &text) { return s.connected ? Opt(text) : std::nullopt; };
    CJsonWriter w;
    w.BeginObject();
    w.Key("connected").Bool(s.connected);
    w.Key("ssid").OptString(when(s.ssid));
    w.Key("ssid_hex").OptString(s.connected ? std::optional<std::string>(HexBytes(s.ssid)) : std::nullopt);
    w.Key("network_mode").OptString(when(s.netMode));
    w.Key("channel").OptInt(Opt(s.channel));
    w.Key("channel_frequency").OptString(when(s.channelFreq));
    w.Key("max_network_rate").OptString(when(s.maxRate));
    w.Key("security").OptString(when(s.security));
    w.Key("active_profile").OptString(when(s.activeProfile));
    w.Key("link_quality").OptString(when(s.linkQuality));
    w.Key("signal_dbm").OptInt(Opt(s.signalDbm));
    w.Key("received").OptInt(s.receivedBytes);
    w.Key("sent").OptInt(s.sentBytes);
    w.Key("network_rate").OptString(when(s.netRate));
    w.Key("snr_db").OptInt(Opt(s.snrDb));
    w.Key("adapter").BeginObject();
    w.Key("device_name").String(CStatusSnapshot::kDeviceName);
    w.Key("regulatory_domain").OptString(Opt(s.regDomain));
    w.Key("driver_version").OptString(Opt(s.driverVersion));
    w.Key("firmware_version").OptString(Opt(s.firmwareVersion));
    w.Key("nvm_version").OptString(Opt(s.nvmVersion));
    w.Key("mac_address").OptString(Opt(s.macAddress));
    w.EndObject();
    w.Key("utility_version").String(CStatusSnapshot::kUtilityVersion);
    w.EndObject();
    return w.Take();
}

std::string Text(const CStatusSnapshot &s)
{
    std::string out = "General\n";
    if (!s.connected) {
        out += LabelLine("  Connected to (SSID):", LoadString(IDS_NOT_CONNECTED));
    } else {
        out += LabelLine("  Connected to (SSID):", EscapeText(s.ssid));
        out += LabelLine("  Network Mode:", EscapeText(s.netMode));
        out += LabelLine("  Channel / Frequency:", EscapeText(s.channelFreq));
        out += LabelLine("  Max. Network Rate:", EscapeText(s.maxRate));
        out += LabelLine("  Security:", EscapeText(s.security));
        out += LabelLine("  Active Profile:", EscapeText(s.activeProfile));
        out += LabelLine("  Link Quality:", EscapeText(s.linkQuality));
        out += LabelLine("  Received:", s.received);
        out += LabelLine("  Sent:", s.sent);
        out += LabelLine("  Network Rate:", EscapeText(s.netRate));
        out += LabelLine("  SNR:", EscapeText(s.snr));
    }
    out += "About\n";
    out += LabelLine("  Device Name:", CStatusSnapshot::kDeviceName);
    out += LabelLine("  Regulatory Domain:", EscapeText(s.regDomain));
    out += LabelLine("  Driver Version:",
                     s.driverVersion.empty() ? LoadString(IDS_NOT_CONNECTED) : EscapeText(s.driverVersion));
    out += LabelLine("  Firmware Version:", EscapeText(s.firmwareVersion));
    out += LabelLine("  NVM Version:", EscapeText(s.nvmVersion));
    out += LabelLine("  MAC Address:", EscapeText(s.macAddress));
    out += LabelLine("  Version:", CStatusSnapshot::kUtilityVersion);
    return out;
}

} // namespace

std::string CStatusCmd::Run(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({}, {});
    args.ExpectWords(1, 0, "status");
    session.ConnectAdapter();
    const CStatusSnapshot s = Gather(session);
    return session.Options().json ? Json(s) : Text(s);
}

} // namespace kestrowctl
