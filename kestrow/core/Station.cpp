#include "Station.h"

#include <cstdio>
#include <cstring>

#include "CommVarList.h"
#include "Conversions.h"
#include "KestrowApp.h"
#include "VarCodes.h"

namespace kestrow {

namespace {

std::uint32_t Load32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// First and last number of a read-back text: the text is split at single
// blanks; the last number is what follows the last blank (a text without a
// blank is one number, both first and last).
void SplitNumbers(const std::string &text, std::int32_t *first, std::int32_t *last)
{
    const std::size_t firstBlank = text.find(' ');
    *first = ParseDecimal(std::string_view(text).substr(0, firstBlank));
    const std::size_t lastBlank = text.rfind(' ');
    *last = lastBlank == std::string::npos ? *first
                                           : ParseDecimal(std::string_view(text).substr(lastBlank + 1));
}

} // namespace

std::string MakeStationKey(const std::string &netName, int channel)
{
    return netName + ";" + std::to_string(channel);
}

std::string FormatBssid(const std::uint8_t *bytes)
{
    char text[24];
    std::snprintf(text, sizeof text, "%.2X-%.2X-%.2X-%.2X-%.2X-%.2X", bytes[0], bytes[1], bytes[2],
                  bytes[3], bytes[4], bytes[5]);
    return text;
}

CStation::CStation(const CProfile &profile, const char *macAddress, std::int32_t linkQuality)
    : CProfile(profile), LinkQuality(linkQuality), MacAddress(macAddress != nullptr ? macAddress : "")
{
    PhyChnl = ChannelNumber(PhyType, PhyChnl);
}

CStation::CStation(std::span<const std::uint8_t> entry, bool adhoc) : CProfile(std::string(), true)
{
    if (entry.size() < kScanEntrySize)
        return;
    MacAddress = FormatBssid(entry.data() + kEntryBssid);
    // The SSID is at most 32 bytes whatever the length byte says, and ends at
    // a zero byte: a hidden network may report its length with zero bytes.
    std::size_t length = entry[kEntrySsidLen];
    if (length > kEntryMaxSsid)
        length = kEntryMaxSsid;
    const auto *ssid = reinterpret_cast<const char *>(entry.data() + kEntrySsid);
    NetName.assign(ssid, strnlen(ssid, length));
    PhyType = static_cast<std::int32_t>(Load32(entry, kEntryPhyType));
    PhyChnl = entry[kEntryChannel];
    LinkQuality = static_cast<std::int32_t>(Load32(entry, kEntrySignal));
    SecType = entry[kEntryPrivacy] != 0 ? 1 : 0;
    NetMode = !adhoc;
}

CStation::CStation(const CStation &other)
    : CProfile(other), LinkQuality(other.LinkQuality), MacAddress(other.MacAddress)
{
}

CStation::~CStation() = default;

std::string CStation::Key() const
{
    return MakeStationKey(NetName, PhyChnl);
}

bool CStation::Apply(ApplyMode mode)
{
    if (mode != Read && mode != Connect && mode != SecurityOnly)
        return false;

    // Every value travels as text.
    std::string netModeText = NetMode ? "Infrastructure" : "Ad-Hoc";
    static const char *const kSecurity[] = {"None", "WEP", "TKIP", "AES"};
    std::string securityText = SecType >= 0 && SecType <= 3 ? kSecurity[SecType] : "None";
    std::string keyText = "-1 -1";
    if (ActiveSecKey >= 0 && ActiveSecKey < kNumSecKeys) {
        const auto k = static_cast<std::size_t>(ActiveSecKey);
        // Size code 0 is a 40-bit key (10 digits), 1 a 104-bit key (26
        // digits); any other code (a read-back may leave one) is never used
        // as an index: the key text's own length is sent.
        const std::int32_t code = SecKeyLen[k];
        const std::size_t digits = code == 0 ? 10 : code == 1 ? 26 : SecKey[k].size();
        keyText = std::to_string(ActiveSecKey) + " " + std::to_string(digits) + " " + SecKey[k];
    }
    std::string channelText = std::to_string(PhyChnl) + " " + (ShortPreamble ? "1" : "0");
    std::string connectModeText = "2";
    const bool adhoc = !NetMode;

    if (mode == Connect)
        theApp().SetAdHocConnected(adhoc);
    if (MaxTxPower < 0 || MaxTxPower > 3)
        MaxTxPower = 3;
    if (mode == Read) {
        NetName = "--";
        MacAddress = "--";
    }

    CCommVarList batch;
    bool added = true;
    if (mode != SecurityOnly) {
        added = batch.Add(VAR_NET_MODE, ConvNetMode, &netModeText) != nullptr && added;
        added = batch.Add(VAR_CONNECT_MODE, ConvNumber, &connectModeText) != nullptr && added;
        added = batch.Add(VAR_SSID, ConvSsid, &NetName) != nullptr && added;
    }
    if (mode == Read || (mode == Connect && adhoc))
        added = batch.Add(VAR_CHANNEL, ConvChannel, &channelText) != nullptr && added;
    added = batch.Add(VAR_SECURITY, ConvSecurity, &securityText) != nullptr && added;
    if (SecType != 0 && ActiveSecKey >= 0)
        added = batch.Add(VAR_WEP_KEY, ConvWepKey, &keyText) != nullptr && added;
    if (!added)
        return false;

    if (!batch.Exec(mode != Read, false))
        return false;

    if (mode == Read) {
        // NetName already holds the SSID read.  The channel comes back as
        // the channel number, which is what a station holds.
        std::int32_t channel = 0;
        std::int32_t preamble = 0;
        SplitNumbers(channelText, &channel, &preamble);
        PhyChnl = channel;
        ShortPreamble = preamble != 0;
        if (!UseRTS)
            RTSThreshold = -1;
        UseRTS = RTSThreshold >= 0;
        // The key text now holds the device's WEP key answer, not the
        // "<index> <digits> <key>" form: the key entries stay as they were,
        // and ActiveSecKey was not touched.
    }
    return true;
}

} // namespace kestrow
