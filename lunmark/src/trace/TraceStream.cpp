#include "trace/TraceStream.h"

#include <cstring>

namespace lunmark {

std::uint32_t TraceStream::take(std::uint32_t n)
{
    if (n > 4)
        n = 4;
    if (n == 0)
        return 0;
    if (length_ == 0)
        return n == 4 ? kEmptyWord : (kEmptyWord >> (32 - 8 * n));
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t byte = i < length_ ? data_[read_pos_ + i] : 0xFFu;
        value |= byte << (8 * i);
    }
    const std::uint32_t used = n < length_ ? n : length_;
    read_pos_ += used;
    length_ -= used;
    return value;
}

std::uint8_t TraceStream::peek(std::uint32_t k) const
{
    if (length_ > k)
        return data_[read_pos_ + k];
    return 0xFF;
}

std::uint32_t TraceStream::peek32(std::uint32_t k) const
{
    if (k <= length_ && length_ - k >= 4) {
        const std::uint8_t* p = data_.data() + read_pos_ + k;
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < 4; ++i) {
        const std::uint32_t byte = (k <= length_ && i < length_ - k) ? data_[read_pos_ + k + i] : 0xFFu;
        value |= byte << (8 * i);
    }
    return value;
}

bool TraceStream::append(const void* bytes, std::uint32_t n)
{
    if (n == 0)
        return true;
    if (bytes == nullptr || n >= kAppendLimit) {
        dropped_bytes_ += n;
        return false;
    }
    // All three terms are below kCapacity, so the sum cannot wrap.
    if (read_pos_ + length_ + n >= kAppendLimit) {
        ++overflow_count_;
        // Moving to the start also happens when nothing is unread, so that
        // an emptied stream whose read position sits near the end accepts
        // data again instead of dropping everything from then on.
        if (read_pos_ > 0) {
            if (length_ > 0)
                std::memmove(data_.data(), data_.data() + read_pos_, length_);
            read_pos_ = 0;
        }
        if (length_ + n >= kAppendLimit) {
            dropped_bytes_ += n;
            return false;
        }
    }
    std::memcpy(data_.data() + read_pos_ + length_, bytes, n);
    length_ += n;
    return true;
}

bool TraceStream::append32(std::uint32_t word)
{
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
        static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24)};
    return append(bytes, 4);
}

void TraceStream::clear()
{
    read_pos_ = 0;
    length_ = 0;
}

} // namespace lunmark
