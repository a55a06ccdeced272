#include "StatusCmd.h"

#include <chrono>
#include <optional>
#include <thread>

#include <Conversions.h>
#include <StationMngr.h>
#include <StringTable.h>
#include <VarCodes.h>

#include "CtlArgs.h"
#include "CtlSession.h"
#include "DeviceQuery.h"
#include "JsonWriter.h"

namespace kestrowctl {

using namespace kestrow;

namespace {

constexpr const char *kDeviceName = "802.11g Wireless Adapter";
constexpr const char *kUtilityVersion = "2.1.2 / 23 Feb 2004";

struct Status {
    bool connected = false;
    std::optional<std::string> ssid, mode, channelFreq, maxRate, security, profile, linkQuality,
        netRate, snrText;
    std::optional<std::int64_t> channel, signalDbm, received, sent, snr;
    std::optional<std::string> driver, firmware, nvm, mac, regDomain;
};

// The connected station of the station list, waiting (bounded) for the scan
// that the list starts to report the connected network.
const CStation *ConnectedStation(CStationMngr &stations, int timeoutSecs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSecs);
    for (;;) {
        const bool more = stations.UpdateFromScan();
        if (const CStation *station = stations.GetConnectedStation())
            return station;
        if (!more || std::chrono::steady_clock::now() >= deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

Status Gather(CCtlSession &session)
{
    Status s;
    s.connected = AdapterAssociated();
    if (s.connected) {
        s.ssid = ReadText(VAR_SSID, ConvSsid);
        s.mode = ReadText(VAR_NET_MODE, ConvNetMode);
        const OID_PAIR channelPhy[] = {VAR_CHANNEL, VAR_PHY};
        s.channelFreq = ReadTexts(channelPhy, 2, ConvChannelFreq);
        if (const auto record = ReadRecord(VAR_CHANNEL))
            s.channel = record->u8(8);
        s.maxRate = ReadText(VAR_PHY, ConvPhyRate);
        s.security = ReadText(VAR_SECURITY, ConvSecurity);
        if (const auto record = ReadRecord(VAR_STATISTICS)) {
            s.sent = record->u32(0);
            s.received = record->u32(4);
        }
        if (const auto record = ReadRecord(VAR_SNR)) {
            s.snr = record->i32(0);
            s.snrText = std::to_string(record->i32(0)) + " dB";
        }
        if (s.ssid) {
            if (const CProfile *current = session.Snapshot().CurrentFor(*s.ssid))
                s.profile = current->ProfName;
        }
        if (const CStation *station = ConnectedStation(session.Stations(), session.Options().timeoutSecs)) {
            std::string text;
            FormatSignal(station->LinkQuality, &text);
            s.linkQuality = text;
            s.signalDbm = station->LinkQuality;
            s.netRate = station->PhyType == 1 ? "11 Mbps" : "54 Mbps";
        }
        // The device's current rate, when it gives one, over the PHY's.
        if (auto rate = ReadText(VAR_NET_RATE, ConvNetRate))
            s.netRate = std::move(rate);
    }
    s.driver = ReadText(VAR_VERSION, ConvDriverVersion);
    s.firmware = ReadText(VAR_VERSION, ConvFirmwareVersion);
    s.nvm = ReadText(VAR_VERSION, ConvNvmVersion);
    s.mac = ReadText(VAR_MAC, ConvMac);
    s.regDomain = ReadText(VAR_REG_DOMAIN, ConvCountry);
    return s;
}

std::string Json(const Status &s)
{
    CJsonWriter w;
    w.BeginObject();
    w.Key("connected").Bool(s.connected);
    w.Key("ssid").OptString(s.ssid);
    w.Key("ssid_hex").OptString(s.ssid ? std::optional<std::string>(HexBytes(*s.ssid)) : std::nullopt);
    w.Key("network_mode").OptString(s.mode);
    w.Key("channel").OptInt(s.channel);
    w.Key("channel_frequency").OptString(s.channelFreq);
    w.Key("max_network_rate").OptString(s.maxRate);
    w.Key("security").OptString(s.security);
    w.Key("active_profile").OptString(s.profile);
    w.Key("link_quality").OptString(s.linkQuality);
    w.Key("signal_dbm").OptInt(s.signalDbm);
    w.Key("received").OptInt(s.received);
    w.Key("sent").OptInt(s.sent);
    w.Key("network_rate").OptString(s.netRate);
    w.Key("snr_db").OptInt(s.snr);
    w.Key("adapter").BeginObject();
    w.Key("device_name").String(kDeviceName);
    w.Key("regulatory_domain").OptString(s.regDomain);
    w.Key("driver_version").OptString(s.driver);
    w.Key("firmware_version").OptString(s.firmware);
    w.Key("nvm_version").OptString(s.nvm);
    w.Key("mac_address").OptString(s.mac);
    w.EndObject();
    w.Key("utility_version").String(kUtilityVersion);
    w.EndObject();
    return w.Take();
}

std::string Text(const Status &s)
{
    const auto value = [](const std::optional<std::string> &v) { return v ? EscapeText(*v) : std::string(); };
    std::string out = "General\n";
    if (!s.connected) {
        out += LabelLine("  Connected to (SSID):", LoadString(IDS_NOT_CONNECTED));
    } else {
        out += LabelLine("  Connected to (SSID):", value(s.ssid));
        out += LabelLine("  Network Mode:", value(s.mode));
        out += LabelLine("  Channel / Frequency:", value(s.channelFreq));
        out += LabelLine("  Max. Network Rate:", value(s.maxRate));
        out += LabelLine("  Security:", value(s.security));
        out += LabelLine("  Active Profile:", value(s.profile));
        out += LabelLine("  Link Quality:", value(s.linkQuality));
        out += LabelLine("  Received:", s.received ? std::to_string(*s.received) : "");
        out += LabelLine("  Sent:", s.sent ? std::to_string(*s.sent) : "");
        out += LabelLine("  Network Rate:", value(s.netRate));
        out += LabelLine("  SNR:", value(s.snrText));
    }
    out += "About\n";
    out += LabelLine("  Device Name:", kDeviceName);
    out += LabelLine("  Regulatory Domain:", value(s.regDomain));
    out += LabelLine("  Driver Version:", s.driver ? EscapeText(*s.driver) : LoadString(IDS_NOT_CONNECTED));
    out += LabelLine("  Firmware Version:", value(s.firmware));
    out += LabelLine("  NVM Version:", value(s.nvm));
    out += LabelLine("  MAC Address:", value(s.mac));
    out += LabelLine("  Version:", kUtilityVersion);
    return out;
}

} // namespace

std::string CStatusCmd::Run(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({}, {});
    args.ExpectWords(1, 0, "status");
    session.ConnectAdapter();
    const Status s = Gather(session);
    return session.Options().json ? Json(s) : Text(s);
}

} // namespace kestrowctl
