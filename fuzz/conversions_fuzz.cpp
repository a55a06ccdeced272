// The conversions between user text and device records: network name,
// channel and WEP key.  Input: one selector byte (low two bits: 0 network
// name, 1 channel, 2 WEP key; bit 2: the rest is a device answer to read,
// otherwise a text to write), then the text or the record's command data.
// A write touches only its field of the record; a read gives bounded text.
// fuzz-link: kestrow_core_fuzzlib
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "CommVar.h"
#include "Conversions.h"
#include "RequestRecord.h"
#include "VarCodes.h"

using namespace kestrow;

// For the network name, channel and WEP key: the bytes of the command data a
// write may change, and the longest text a read may give.
const std::size_t kFieldEnd[] = {1 + SSID_MAX_LENGTH, 12, WEP_KEY_RECORD_SIZE};
const std::size_t kTextMax[] = {SSID_MAX_LENGTH, 6, 26};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int which = data[0] & 3;
    if (which == 3)
        return 0;
    const bool read = (data[0] & 4) != 0;
    const CONVERT_FN convert = which == 0 ? ConvSsid : which == 1 ? ConvChannel : ConvWepKey;
    ++data;
    --size;

    static auto records = std::make_unique<request_record[]>(2);
    static auto copy = std::make_unique<request_record[]>(2);
    for (int k = 0; k < 2; ++k)
        std::memset(records[k].bytes, 0x5A, kRecordSize);

    if (read) {
        std::memcpy(records[0].data(), data, std::min(size, kRecordDataSize));
        std::string text = "unchanged";
        convert(records.get(), &text, CONVERT_AFTER_READ);
        if (text.size() > kTextMax[which])
            __builtin_trap();
        return 0;
    }

    std::string text(reinterpret_cast<const char *>(data), size);
    const std::string sent = text;
    std::memcpy(copy.get(), records.get(), 2 * sizeof(request_record));
    convert(records.get(), &text, CONVERT_BEFORE_WRITE);
    if (text != sent)
        __builtin_trap();  // a write leaves the text alone
    const std::size_t end = kRecordDataOffset + kFieldEnd[which];
    if (std::memcmp(records[0].bytes, copy[0].bytes, kRecordDataOffset) != 0 ||
        std::memcmp(records[0].bytes + end, copy[0].bytes + end, kRecordSize - end) != 0 ||
        std::memcmp(records[1].bytes, copy[1].bytes, kRecordSize) != 0)
        __builtin_trap();

    // What a write stored reads back as the same value.
    if (which == 0) {
        std::string back;
        convert(records.get(), &back, CONVERT_AFTER_READ);
        const std::string expect = sent.substr(0, std::min(sent.size(), sent.find('\0'))).substr(0, SSID_MAX_LENGTH);
        if (back != expect)
            __builtin_trap();
    } else if (which == 1) {
        if (records[0].u32(0) != 12 ||
            records[0].u8(8) != static_cast<std::uint8_t>(ParseDecimal(sent.substr(0, sent.find(' ')))))
            __builtin_trap();
    } else {
        if (records[0].u8(1) > WEP_KEY_AREA_SIZE)
            __builtin_trap();
    }
    return 0;
}
