#include "Conversions.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <limits>

#include "CommVar.h"
#include "DebugLog.h"
#include "KestrowApp.h"
#include "Preferences.h"
#include "StringTable.h"
#include "VarCodes.h"

namespace kestrow {

namespace {

// Formats with a fixed format (checked by the compiler) into a string.  The
// texts made here are short; a longer one would be cut, never overrun.
std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char *format, ...)
{
    char buffer[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        return {};
    return std::string(buffer, std::min(static_cast<std::size_t>(n), sizeof buffer - 1));
}

bool StartsWith(const std::string &text, std::string_view prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr const char *kPowerSaveLevels[] = {"Max. Performance", "Good Performance",
                                            "Max. Power Save"};

} // namespace

std::int32_t ParseDecimal(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        value = -value;
    value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(value);
}

int HexValue(char c)
{
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return c - '0';
}

char HexDigit(int v)
{
    return static_cast<char>(v < 10 ? '0' + v : 'A' + v - 10);
}

std::string NetModeText(std::uint32_t mode)
{
    switch (mode) {
    case 1: return "Infrastructure";
    case 2: return "Ad-Hoc";
    default: return "N/A";
    }
}

std::string PowerSaveText(int level)
{
    if (level < 0 || level >= static_cast<int>(std::size(kPowerSaveLevels)))
        return "N/A";
    return kPowerSaveLevels[level];
}

std::string RegDomainText(std::uint32_t code)
{
    for (const CCountry &c : CPreferences::Countries())
        if (c.code == code)
            return c.domainName;
    return "None";
}

bool SecurityText(std::uint32_t type, std::string *text)
{
    switch (type) {
    case 0: *text = LoadString(IDS_DISABLED); return true;
    case 1: *text = "WEP"; return true;
    case 2: *text = "TKIP"; return true;
    default: return false;
    }
}

void ConvSsid(request_record *records, std::string *text, std::int32_t phase)
{
    request_record &r = records[0];
    if (phase == CONVERT_AFTER_READ) {
        const std::size_t length = std::min<std::size_t>(r.u8(0), SSID_MAX_LENGTH);
        r.set_u8(1 + length, 0);
        std::string name;
        for (std::size_t i = 0; i < length && r.u8(1 + i) != 0; ++i)
            name.push_back(static_cast<char>(r.u8(1 + i)));
        *text = std::move(name);
    } else if (phase == CONVERT_BEFORE_WRITE) {
        const std::size_t length = std::min<std::size_t>(text->size(), SSID_MAX_LENGTH);
        for (std::size_t i = 0; i < length; ++i)
            r.set_u8(1 + i, static_cast<std::uint8_t>((*text)[i]));
        r.set_u8(0, static_cast<std::uint8_t>(length));
    }
}

void ConvNetMode(request_record *records, std::string *text, std::int32_t phase)
{
    request_record &r = records[0];
    if (phase == CONVERT_AFTER_READ) {
        *text = NetModeText(r.u32(0));
    } else if (phase == CONVERT_BEFORE_WRITE) {
        DebugWrite("\nNetMode: ");
        DebugWrite(*text);
        std::uint32_t mode = 5;
        if (StartsWith(*text, "Ad-Hoc"))
            mode = 2;
        else if (StartsWith(*text, "Infrastructure"))
            mode = 1;
        r.set_u32(0, mode);
    }
}

void ConvChannel(request_record *records, std::string *text, std::int32_t phase)
{
    request_record &r = records[0];
    if (phase == CONVERT_AFTER_READ) {
        *text = Format("%d %d", static_cast<int>(r.u8(8)), r.u32(12) == 1 ? 1 : 0);
    } else if (phase == CONVERT_BEFORE_WRITE) {
        r.set_u32(0, 12);
        const std::string_view view(*text);
        const std::int32_t channel = ParseDecimal(view.substr(0, view.find(' ')));
        r.set_u8(8, static_cast<std::uint8_t>(channel));
    } else if (phase == CONVERT_BEFORE_READ) {
        r.set_u32(0, 12);
    }
}

void ConvChannelFreq(request_record *records, std::string *text, std::int32_t phase)
{
    if (phase != CONVERT_AFTER_READ)
        return;
    const int channel = records[0].u8(8);
    int mhz;
    if (channel == 14)
        mhz = 2484;
    else if (channel < 32)
        mhz = 2407 + 5 * channel;
    else if (channel < 200)
        mhz = 5000 + 5 * channel;
    else if (channel < 300)
        mhz = 3900 + 5 * channel;
    else
        mhz = 812 + 5 * channel;
    char letter;
    switch (records[1].u32(0)) {
    case 0: letter = 'a'; break;
    case 1: letter = 'b'; break;
    case 2: letter = 'g'; break;
    default: letter = '?'; break;
    }
    *text = Format("%d / %#1.3f GHz - 802.11%c", channel, mhz / 1000.0, letter);
}

void ConvPhyRate(request_record *records, std::string *text, std::int32_t phase)
{
    request_record &r = records[0];
    if (phase == CONVERT_AFTER_READ) {
        switch (r.u32(0)) {
        case 0:
        case 2: *text = Format("%d Mbps", 54); break;
        case 1: *text = Format("%d Mbps", 11); break;
        default: *text = "N/A"; break;
        }
    } else if (phase == CONVERT_BEFORE_WRITE) {
        DebugWrite("\nPhyType: ");
        DebugWrite(*text);
        std::uint32_t phy = 2;
        if (StartsWith(*text, "PHY A"))
            phy = 0;
        else if (StartsWith(*text, "PHY B"))
            phy = 1;
        r.set_u32(0, phy);
    }
}

// The counters are unsigned: a count above 2^31 must not show as negative.
void ConvSentCount(request_record *records, std::string *text, std::int32_t phase)
{
    if (phase == CONVERT_AFTER_READ)
        *text = Format("%u", records[0].u32(0));
}

void ConvRecvCount(request_record *records, std::string *text, std::int32_t phase)
{
    if (phase == CONVERT_AFTER_READ)
        *text = Format("%u", records[0].u32(4));
}

void ConvSecurity(request_record *records, std::string *text, std::int32_t phase)
{
    request_record &r = records[0];
    if (phase == CONVERT_AFTER_READ) {
        std::string name;
        if (SecurityText(r.u32(0), &name))
            *text = std::move(name);
    } else if (phase == CONVERT_BEFORE_WRITE) {
        std::uint32_t type = 0;
        if (StartsWith(*text, "WEP"))
            type = 1;
        else if (StartsWith(*text, "TKIP"))
            type = 2;
        r.set_u32(0, type);
    }
}

void ConvWepKey(request_record *records, std::string *text, std::int32_t phase)
{
    request_record &r = records[0];
    if (phase == CONVERT_AFTER_READ) {
        const int index = r.u8(0);
        const int length = r.u8(1);
        if (length > 26 || index > 4) {
            text->clear();
            return;
        }
        std::string key;
        for (int i = 0; i < length; ++i) {
            const char digit = HexDigit(r.u8(static_cast<std::size_t>(WEP_KEY_AREA_OFFSET + i)));
            r.set_u8(static_cast<std::size_t>(WEP_KEY_AREA_OFFSET + i), static_cast<std::uint8_t>(digit));
            key.push_back(digit);
        }
        *text = std::move(key);
    } else if (phase == CONVERT_BEFORE_WRITE) {
        // "<index> <digit count> <key>", fields separated by single blanks.
        const std::string_view all(*text);
        const std::size_t blank1 = all.find(' ');
        const std::string_view first = all.substr(0, blank1);
        std::string_view second;
        std::string_view third;
        if (blank1 != std::string_view::npos) {
            const std::string_view rest = all.substr(blank1 + 1);
            const std::size_t blank2 = rest.find(' ');
            second = rest.substr(0, blank2);
            if (blank2 != std::string_view::npos)
                third = rest.substr(blank2 + 1);
        }
        while (!third.empty() && IsSpace(third.front()))
            third.remove_prefix(1);
        while (!third.empty() && IsSpace(third.back()))
            third.remove_suffix(1);

        std::uint8_t record[WEP_KEY_RECORD_SIZE] = {};
        record[0] = static_cast<std::uint8_t>(ParseDecimal(first));
        // The key length is bounded by the key area of the record.
        const int length = std::clamp(ParseDecimal(second) / 2, 0, WEP_KEY_AREA_SIZE);
        record[1] = static_cast<std::uint8_t>(length);
        record[4] = length == 5 ? 1 : 2;
        // Digits missing from a short key count as 0.
        auto digit = [&third](std::size_t at) { return at < third.size() ? HexValue(third[at]) : 0; };
        for (int i = 0; i < length; ++i) {
            const std::size_t at = static_cast<std::size_t>(2 * i);
            record[WEP_KEY_AREA_OFFSET + i] = static_cast<std::uint8_t>(digit(at) * 16 + digit(at + 1));
        }
        for (std::size_t i = 0; i < sizeof record; ++i)
            r.set_u8(i, record[i]);
    }
}

void ConvNumber(request_record *records, std::string *text, std::int32_t phase)
{
    request_record &r = records[0];
    const std::uint32_t code = r.command();
    if (phase == CONVERT_AFTER_READ) {
        switch (code) {
        case 320:
        case 1120:
        case 2193: *text = Format("%d", r.i32(0)); break;
        case 353: *text = Format("%d dB", r.i32(0)); break;
        case 592: *text = Format("%d", static_cast<int>(r.u16(0))); break;
        case 1088: *text = Format("%d", static_cast<int>(r.u8(0))); break;
        default: break;
        }
    } else if (phase == CONVERT_BEFORE_WRITE) {
        const std::int32_t value = ParseDecimal(*text);
        switch (code) {
        case 320:
        case 1136:
        case 2193: r.set_u32(0, static_cast<std::uint32_t>(value)); break;
        case 592: r.set_u16(0, static_cast<std::uint16_t>(value)); break;
        case 1088: r.set_u8(0, static_cast<std::uint8_t>(value)); break;
        default: break;
        }
    }
}

void ConvCountry(request_record *records, std::string *text, std::int32_t)
{
    *text = RegDomainText(records[0].u32(0));
}

void ConvDriverVersion(request_record *records, std::string *text, std::int32_t)
{
    const request_record &r = records[0];
    *text = Format("%d.%d.%d.%d", r.i32(8), r.i32(12), r.i32(16), r.i32(20));
}

void ConvFirmwareVersion(request_record *records, std::string *text, std::int32_t)
{
    const request_record &r = records[0];
    const std::uint32_t a = r.u32(32);
    const std::uint32_t b = r.u32(36);
    *text = Format("%.4X - %.4X / %.4X - %.4X", a >> 16, a & 0xFFFFu, b >> 16, b & 0xFFFFu);
}

void ConvNvmVersion(request_record *records, std::string *text, std::int32_t)
{
    const request_record &r = records[0];
    *text = Format("%X - %X", r.u32(148), r.u32(0));
}

void ConvMac(request_record *records, std::string *text, std::int32_t phase)
{
    if (phase != CONVERT_AFTER_READ)
        return;
    const request_record &r = records[0];
    *text = Format("%.2X-%.2X-%.2X-%.2X-%.2X-%.2X", unsigned{r.u8(0)}, unsigned{r.u8(1)},
                   unsigned{r.u8(2)}, unsigned{r.u8(3)}, unsigned{r.u8(4)}, unsigned{r.u8(5)});
}

void ConvNetRate(request_record *records, std::string *text, std::int32_t phase)
{
    if (phase != CONVERT_AFTER_READ)
        return;
    const std::uint32_t rate = records[0].u32(0);
    const unsigned tenth = (rate % 1000000u) / 100000u;
    if (tenth != 0)
        *text = Format("%u.%u Mbps", rate / 1000000u, tenth);
    else
        *text = Format("%u Mbps", rate / 1000000u);
}

int FormatSignal(int dBm, std::string *text, bool showDbm)
{
    // 64-bit arithmetic: a level from outside must not overflow.
    const std::int64_t raw = (std::int64_t{dBm} + 91) * 100 / 30;
    const int percent = static_cast<int>(std::clamp<std::int64_t>(raw, 0, 99));
    if (showDbm)
        *text = Format("%.2d%s", dBm, "dBm");
    else
        *text = Format("%.2d%s", percent, "%");
    return percent;
}

int FormatSignal(int dBm, std::string *text)
{
    return FormatSignal(dBm, text, CPreferences::ShowDbm(theApp()));
}

} // namespace kestrow
