// TraceStream: one fixed 128000-byte FIFO of trace bytes (the raw stream and
// the two modem streams are each one of these).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lunmark {

class TraceStream {
public:
    static constexpr std::uint32_t kCapacity = 128000;
    // Appends must end below this offset: the last 256 bytes of the buffer
    // are never written.
    static constexpr std::uint32_t kAppendLimit = 127744;
    // What a read yields when the stream is empty.
    static constexpr std::uint32_t kEmptyWord = 0xFFFFFFFFu;

    TraceStream() = default;

    // Removes `n` bytes (n <= 4) from the front and returns them as a
    // little-endian value.  An empty stream yields the low `n` bytes of the
    // empty word and is left as it is; a stream holding fewer than `n` bytes
    // yields what it holds, padded with 0xFF, and becomes empty.
    std::uint32_t take(std::uint32_t n);
    std::uint16_t take16() { return static_cast<std::uint16_t>(take(2)); }
    std::uint32_t take32() { return take(4); }

    // The byte `k` positions after the read position, or 0xFF when the
    // stream holds no more than `k` bytes.
    std::uint8_t peek(std::uint32_t k) const;
    // The little-endian word starting `k` bytes after the read position;
    // bytes beyond the unread ones read as 0xFF.
    std::uint32_t peek32(std::uint32_t k) const;

    // Stores `n` bytes behind the unread ones.  When they do not fit before
    // the append limit the overflow count goes up, the unread bytes are moved
    // to the start of the buffer and the append is tried once more; bytes
    // that still do not fit are dropped (and counted in dropped_bytes()).
    // Returns whether the bytes were stored.
    bool append(const void* bytes, std::uint32_t n);
    bool append32(std::uint32_t word);

    void clear();

    std::uint32_t length() const { return length_; }
    std::uint32_t read_position() const { return read_pos_; }
    std::uint32_t overflow_count() const { return overflow_count_; }
    std::uint64_t dropped_bytes() const { return dropped_bytes_; }

private:
    std::array<std::uint8_t, kCapacity> data_{};
    std::uint32_t read_pos_ = 0;
    std::uint32_t length_ = 0;
    std::uint32_t overflow_count_ = 0;
    std::uint64_t dropped_bytes_ = 0;
};

} // namespace lunmark
