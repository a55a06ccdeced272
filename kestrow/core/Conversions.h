// The conversions between the raw command data of a communication variable
// and the text the pages show or the profile code writes, and the small
// helpers several parts share (signal text, hexadecimal digits).
//
// Every conversion has the CONVERT_FN signature: the variable's whole record
// array, its text and the phase (CONVERT_BEFORE_READ, CONVERT_AFTER_READ or
// CONVERT_BEFORE_WRITE).  Offsets count from the start of the command data of
// the first record; a variable of two requests finds the second answer in the
// next record.  No conversion reports an error: a code missing from a table
// gives "N/A", "None" or leaves the text as it was.  Text going into a record
// is bounded by the field it goes into.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "RequestRecord.h"

namespace kestrow {

// Network name (VAR_SSID): length byte at 0, characters from 1.  A length
// above 32 reads as 32; a text longer than 32 characters writes 32.
void ConvSsid(request_record *records, std::string *text, std::int32_t phase);
// Network mode (VAR_NET_MODE): "Infrastructure", "Ad-Hoc", else "N/A".
void ConvNetMode(request_record *records, std::string *text, std::int32_t phase);
// Channel (VAR_CHANNEL): "<channel> <1 when the value at 12 is 1, else 0>".
void ConvChannel(request_record *records, std::string *text, std::int32_t phase);
// Channel, centre frequency and PHY letter of VAR_CHANNEL then VAR_PHY.
void ConvChannelFreq(request_record *records, std::string *text, std::int32_t phase);
// Maximum rate of the PHY (VAR_PHY): "54 Mbps" or "11 Mbps".
void ConvPhyRate(request_record *records, std::string *text, std::int32_t phase);
// Packet counters of VAR_STATISTICS: sent at 0, received at 4.
void ConvSentCount(request_record *records, std::string *text, std::int32_t phase);
void ConvRecvCount(request_record *records, std::string *text, std::int32_t phase);
// Security type (VAR_SECURITY): "Disabled", "WEP", "TKIP".
void ConvSecurity(request_record *records, std::string *text, std::int32_t phase);
// WEP key record (VAR_WEP_KEY).  Written from "<index> <digit count> <key>".
void ConvWepKey(request_record *records, std::string *text, std::int32_t phase);
// Plain numbers, by the command code of the first record.
void ConvNumber(request_record *records, std::string *text, std::int32_t phase);
// Regulatory domain name (VAR_REG_DOMAIN), whatever the phase.
void ConvCountry(request_record *records, std::string *text, std::int32_t phase);
// Parts of the identity block (VAR_VERSION), whatever the phase.
void ConvDriverVersion(request_record *records, std::string *text, std::int32_t phase);
void ConvFirmwareVersion(request_record *records, std::string *text, std::int32_t phase);
void ConvNvmVersion(request_record *records, std::string *text, std::int32_t phase);
// MAC address (VAR_MAC): "00-11-22-33-44-55".
void ConvMac(request_record *records, std::string *text, std::int32_t phase);
// Current network rate (VAR_NET_RATE): "5.5 Mbps", "54 Mbps".
void ConvNetRate(request_record *records, std::string *text, std::int32_t phase);

// Link-quality text of a signal level in dBm: "-76dBm" when `showDbm`, else
// the percentage ("50%").  Returns the percentage, (dBm + 91) * 100 / 30
// limited to 0..99, in either case.
int FormatSignal(int dBm, std::string *text, bool showDbm);
// The same in the display unit the preferences choose (CPreferences::ShowDbm).
int FormatSignal(int dBm, std::string *text);

// 'a'..'f' and 'A'..'F' give 10..15; any other character c gives c - '0'.
int HexValue(char c);
// v < 10 gives '0' + v, otherwise 'A' + v - 10.
char HexDigit(int v);

// Text tables.
std::string NetModeText(std::uint32_t mode);       // "N/A" when unknown
std::string PowerSaveText(int level);              // "N/A" when unknown
std::string RegDomainText(std::uint32_t code);     // "None" when unknown
// The security text, or false when the type is unknown.
bool SecurityText(std::uint32_t type, std::string *text);

// The decimal number at the start of `text`, read as atoi does (leading
// white space, a sign, digits; anything else ends it); out-of-range values
// are limited to the 32-bit range.
std::int32_t ParseDecimal(std::string_view text);

} // namespace kestrow
