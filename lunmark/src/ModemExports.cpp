// Exports for the modem registers, the modem message and the EEPROM.  Each
// lays its arguments out in a request_record, sends it with ecom_exec_oid
// and copies the answer out, all under one hold of the library lock.
#include "LibraryLock.h"

#include <lunmark/lunmark.h>
#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include <array>
#include <cstring>

using lunmark::LibraryLock;
namespace wire = lunmark_wire;

namespace {

// Offsets inside the request_record.
constexpr std::size_t kSelectorOffset = wire::kRecordBankOffset;
constexpr std::size_t kAddressOffset = wire::kRecordAddressOffset;
constexpr std::size_t kValueOffset = wire::kRecordValueOffset;
constexpr std::size_t kDataOffset = LUNMARK_RECORD_DATA_OFFSET;
constexpr std::size_t kMessageLengthOffset = 520;
constexpr std::size_t kEepromOffsetOffset = wire::kRecordEepromOffsetOffset;
constexpr std::size_t kEepromLengthOffset = wire::kRecordEepromLengthOffset;

static_assert(kDataOffset + LUNMARK_EEPROM_MAX == kEepromOffsetOffset);
static_assert(kDataOffset + LUNMARK_MODEM_MSG_MAX == kMessageLengthOffset);

// A record built for one command.  Zero-filled, so no stale stack bytes
// ever travel to the driver.
struct Record {
    std::array<std::uint8_t, LUNMARK_RECORD_SIZE> bytes{};
    explicit Record(std::uint32_t code) { wire::put_u32(bytes.data(), code); }
    std::uint8_t *at(std::size_t offset) { return bytes.data() + offset; }
};

int peek(std::uint8_t selector, std::uint32_t address, std::uint32_t *value) {
    if (value == nullptr)
        return LUNMARK_ERR_REQUEST;
    try {
        LibraryLock lock;
        Record r(LUNMARK_CMD_MODEM_READ);
        *r.at(kSelectorOffset) = selector;
        wire::put_u32(r.at(kAddressOffset), address);
        const int result = ecom_exec_oid(r.bytes.data());
        *value = wire::get_u32(r.at(kValueOffset));
        return result;
    } catch (...) {
        return LUNMARK_ERR_REQUEST;
    }
}

int poke(std::uint8_t selector, std::uint32_t address, std::uint32_t value) {
    try {
        LibraryLock lock;
        Record r(LUNMARK_CMD_MODEM_WRITE);
        *r.at(kSelectorOffset) = selector;
        wire::put_u32(r.at(kAddressOffset), address);
        wire::put_u32(r.at(kValueOffset), value);
        return ecom_exec_oid(r.bytes.data());
    } catch (...) {
        return LUNMARK_ERR_REQUEST;
    }
}

} // namespace

extern "C" {

LUNMARK_API int ecom_modem_peek7(uint32_t address, uint32_t *value) {
    return peek(7, address, value);
}

LUNMARK_API int ecom_modem_poke7(uint32_t address, uint32_t value) {
    return poke(7, address, value);
}

LUNMARK_API int ecom_modem_peek9(uint32_t address, uint32_t *value) {
    return peek(9, address, value);
}

LUNMARK_API int ecom_modem_poke9(uint32_t address, uint32_t value) {
    return poke(9, address, value);
}

LUNMARK_API int ecom_modem_misc_msg(const void *message, uint32_t length) {
    // A longer message would overrun its area into the length field.
    if (length > LUNMARK_MODEM_MSG_MAX || (message == nullptr && length != 0))
        return LUNMARK_ERR_REQUEST;
    try {
        LibraryLock lock;
        Record r(LUNMARK_CMD_MODEM_MISC);
        if (length != 0)
            std::memcpy(r.at(kDataOffset), message, length);
        wire::put_u32(r.at(kMessageLengthOffset), length);
        return ecom_exec_oid(r.bytes.data());
    } catch (...) {
        return LUNMARK_ERR_REQUEST;
    }
}

LUNMARK_API int ecom_read_eeprom(void *destination, uint32_t offset, uint32_t length) {
    // A longer transfer would overrun the data area and the caller's view
    // of it.
    if (length > LUNMARK_EEPROM_MAX || (destination == nullptr && length != 0))
        return LUNMARK_ERR_REQUEST;
    try {
        LibraryLock lock;
        Record r(LUNMARK_CMD_EEPROM_READ);
        wire::put_u32(r.at(kEepromOffsetOffset), offset);
        wire::put_u32(r.at(kEepromLengthOffset), length);
        const int result = ecom_exec_oid(r.bytes.data());
        if (length != 0)
            std::memcpy(destination, r.at(kDataOffset), length);
        return result;
    } catch (...) {
        return LUNMARK_ERR_REQUEST;
    }
}

LUNMARK_API int ecom_write_eeprom(const void *source, uint32_t offset, uint32_t length) {
    if (length > LUNMARK_EEPROM_MAX || (source == nullptr && length != 0))
        return LUNMARK_ERR_REQUEST;
    try {
        LibraryLock lock;
        Record r(LUNMARK_CMD_EEPROM_WRITE);
        if (length != 0)
            std::memcpy(r.at(kDataOffset), source, length);
        wire::put_u32(r.at(kEepromOffsetOffset), offset);
        wire::put_u32(r.at(kEepromLengthOffset), length);
        return ecom_exec_oid(r.bytes.data());
    } catch (...) {
        return LUNMARK_ERR_REQUEST;
    }
}

} // extern "C"
