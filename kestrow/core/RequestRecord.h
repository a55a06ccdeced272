// request_record: the fixed-size buffer in which every device access
// travels.  32-bit command code at 0, 32-bit completion status at 4 (2 when
// the driver carried the command out), 15368 bytes of command data from 8;
// little-endian whatever the host.
//
// The accessors address the command data by offset and check every access
// against its end: an offset that does not fit reads as 0 and is not written.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrow {

inline constexpr std::size_t kRecordSize = 15376;
inline constexpr std::size_t kRecordDataOffset = 8;
inline constexpr std::size_t kRecordDataSize = kRecordSize - kRecordDataOffset;
inline constexpr std::uint32_t kStatusDone = 2;

struct request_record {
    std::uint8_t bytes[kRecordSize] = {};

    std::uint32_t command() const { return load32(0); }
    void set_command(std::uint32_t code) { store32(0, code); }
    std::uint32_t status() const { return load32(4); }
    void set_status(std::uint32_t status) { store32(4, status); }

    std::uint8_t *data() { return bytes + kRecordDataOffset; }
    const std::uint8_t *data() const { return bytes + kRecordDataOffset; }

    // Command data fields, by offset from the start of the command data.
    std::uint8_t u8(std::size_t offset) const
    {
        return fits(offset, 1) ? data()[offset] : 0;
    }
    std::uint16_t u16(std::size_t offset) const
    {
        if (!fits(offset, 2))
            return 0;
        return static_cast<std::uint16_t>(data()[offset] | (data()[offset + 1] << 8));
    }
    std::uint32_t u32(std::size_t offset) const
    {
        return fits(offset, 4) ? load32(kRecordDataOffset + offset) : 0;
    }
    std::int32_t i32(std::size_t offset) const { return static_cast<std::int32_t>(u32(offset)); }

    void set_u8(std::size_t offset, std::uint8_t v)
    {
        if (fits(offset, 1))
            data()[offset] = v;
    }
    void set_u16(std::size_t offset, std::uint16_t v)
    {
        if (!fits(offset, 2))
            return;
        data()[offset] = static_cast<std::uint8_t>(v);
        data()[offset + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void set_u32(std::size_t offset, std::uint32_t v)
    {
        if (fits(offset, 4))
            store32(kRecordDataOffset + offset, v);
    }

private:
    static constexpr bool fits(std::size_t offset, std::size_t size)
    {
        return offset <= kRecordDataSize && size <= kRecordDataSize - offset;
    }
    std::uint32_t load32(std::size_t at) const
    {
        return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
               static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
               static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    }
    void store32(std::size_t at, std::uint32_t v)
    {
        bytes[at] = static_cast<std::uint8_t>(v);
        bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
        bytes[at + 2] = static_cast<std::uint8_t>(v >> 16);
        bytes[at + 3] = static_cast<std::uint8_t>(v >> 24);
    }
};

static_assert(sizeof(request_record) == kRecordSize, "a request_record is 15376 bytes");

} // namespace kestrow
