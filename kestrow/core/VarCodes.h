// Every command code Kestrow sends to the adapter, as the read and write
// codes of its OID_PAIR.  Offsets below count from the start of the command
// data (offset 8 of the request_record); values are little-endian.
#pragma once

#include "CommVar.h"

namespace kestrow {

// Device identity block: driver version parts at 8, 12, 16, 20; firmware
// words at 32 and 36; NVM words at 148 and 0.  Also the library's probe.
// Read only.
inline constexpr OID_PAIR VAR_VERSION{0x10, 0x10};
// Adapter MAC address in bytes 0-5.  Read only.
inline constexpr OID_PAIR VAR_MAC{0x30, 0x40};
// BSSID of the current connection in bytes 0-5.  Read only, raw.
inline constexpr OID_PAIR VAR_BSSID{0x50, 0};
// Network name: length byte at 0, up to 32 characters from 1.
inline constexpr OID_PAIR VAR_SSID{0x70, 0x80};
// PHY type, 32-bit at 0: 0 = 802.11a, 1 = 802.11b, 2 = 802.11g.
inline constexpr OID_PAIR VAR_PHY{0x90, 0x100};
// Signal-to-noise ratio in dB, signed 32-bit at 0.  Read only.
inline constexpr OID_PAIR VAR_SNR{0x161, 0x161};
// Scan result block.  Read only, raw.
inline constexpr OID_PAIR VAR_SCAN_RESULTS{0x190, 0};
// A read starts a scan of the air; no data.
inline constexpr OID_PAIR VAR_SCAN_START{0x200, 0x200};
// Network mode, 32-bit at 0: 1 = infrastructure, 2 = ad hoc.
inline constexpr OID_PAIR VAR_NET_MODE{0x210, 0x220};
// 32-bit 12 at 0 (set by the conversion), channel number in byte 8, a 32-bit
// value at 12 shown as 1 when it equals 1.
inline constexpr OID_PAIR VAR_CHANNEL{0x350, 0x360};
// Traffic counters: packets sent at 0 and received at 4; byte counters at
// 20, 28, 36 (send) and 44, 52, 60 (receive).  Read only.
inline constexpr OID_PAIR VAR_STATISTICS{0x370, 0x370};
// A read makes the device clear its statistics; no data.
inline constexpr OID_PAIR VAR_RESET_STATS{0x380, 0};
// WEP key record of 44 bytes (see ConvWepKey).
inline constexpr OID_PAIR VAR_WEP_KEY{0x400, 0x400};
// Security type, 32-bit at 0: 0 = none, 1 = WEP, 2 = TKIP.
inline constexpr OID_PAIR VAR_SECURITY{0x420, 0x430};
// 32-bit at 0; the program only ever writes 2 on connect.
inline constexpr OID_PAIR VAR_CONNECT_MODE{0x460, 0x470};
// Current network rate in bit/s, 32-bit at 0.  Read only.
inline constexpr OID_PAIR VAR_NET_RATE{0x540, 0x540};
// Connection state: byte 0 not zero when connected.  Read only, raw.
inline constexpr OID_PAIR VAR_CONNECTED{0x590, 0};
// Regulatory domain code, 32-bit at 0.  Read only.
inline constexpr OID_PAIR VAR_REG_DOMAIN{0x891, 0x891};

// Size of the WEP key record and of its key area.
inline constexpr int WEP_KEY_RECORD_SIZE = 44;
inline constexpr int WEP_KEY_AREA_OFFSET = 8;
inline constexpr int WEP_KEY_AREA_SIZE = 36;
// Longest network name.
inline constexpr int SSID_MAX_LENGTH = 32;

} // namespace kestrow
