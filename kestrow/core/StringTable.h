// The program's string table: captions, labels and user messages by id.
#pragma once

#include <cstddef>
#include <string>

namespace kestrow {

inline constexpr int IDS_PROFILE_CONFIGURATION = 102;
inline constexpr int IDS_SAVE_CONNECTION = 103;
inline constexpr int IDS_EDIT_CONNECTION = 104;
inline constexpr int IDS_ADVANCED_PROFILE_EDIT = 108;
inline constexpr int IDS_ADD_AUTO_SELECTION = 109;
inline constexpr int IDS_NEED_SECURITY_KEY = 110;
inline constexpr int IDS_INVALID_PROFILE_NAME = 111;
inline constexpr int IDS_INVALID_SSID = 112;
inline constexpr int IDS_ENTER_SECURITY = 113;
inline constexpr int IDS_NOT_CONNECTED = 114;
inline constexpr int IDS_DRIVER_ERROR = 115;
inline constexpr int IDS_BAD_FRAGMENTATION = 116;
inline constexpr int IDS_BAD_RTS = 117;
inline constexpr int IDS_NETWORK_VIEW = 118;
inline constexpr int IDS_AP_VIEW = 119;
inline constexpr int IDS_PROFILE_CONNECT_FAILED = 120;
inline constexpr int IDS_STATION_CONNECT_FAILED = 122;
inline constexpr int IDS_DISABLED = 123;

// Longest string LoadString yields, as the original's 100-character buffers
// (99 characters and the terminator).
inline constexpr std::size_t kMaxResourceString = 99;

// The text of string `id`; empty when the table has no such string.
std::string LoadString(int id);

} // namespace kestrow
