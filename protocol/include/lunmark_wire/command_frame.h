// The driver interface below the adapter socket: the two private query OIDs,
// the command_frame that carries a request_record, and the trace block.
// Shared by the library that builds frames and by the drivers that answer
// them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lunmark_wire {

inline constexpr std::uint32_t kOidPrivateCommand = 0xFFA0C90Au;
inline constexpr std::uint32_t kOidPrivateTrace = 0xFFA0C909u;

// command_frame, 15392 bytes:
//   0  u32 signature 0x49364159 ("YA6I")
//   4  u16 payload length 15376
//   6  u16 0
//   8  u32 frame magic 0x55AA55EE
//  12  request_record (15376 bytes)
//  15388 u32 complement of the frame magic
inline constexpr std::uint32_t kFrameSignature = 0x49364159u;
inline constexpr std::uint32_t kFrameMagic = 0x55AA55EEu;
inline constexpr std::size_t kRecordSize = 15376;
inline constexpr std::size_t kRecordDataOffset = 8;
inline constexpr std::size_t kFrameSize = 15392;
inline constexpr std::size_t kFrameRecordOffset = 12;
inline constexpr std::size_t kFrameTrailerOffset = 15388;

// request_record fields (offsets from the record's start): u32 command code
// at 0, u32 completion status at 4.  The modem register commands carry a
// u8 register bank at 8, u32 address at 12 and u32 value at 16; the EEPROM
// commands their bytes at 8, u32 offset at 10248 and u32 length at 10252.
inline constexpr std::size_t kRecordStatusOffset = 4;
inline constexpr std::size_t kRecordBankOffset = 8;
inline constexpr std::size_t kRecordAddressOffset = 12;
inline constexpr std::size_t kRecordValueOffset = 16;
inline constexpr std::size_t kRecordEepromOffsetOffset = 10248;
inline constexpr std::size_t kRecordEepromLengthOffset = 10252;

// The trace block a poll of kOidPrivateTrace hands to the driver.
inline constexpr std::size_t kTraceBlockSize = 8192;

} // namespace lunmark_wire
