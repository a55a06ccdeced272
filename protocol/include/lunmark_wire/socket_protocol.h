// The adapter socket protocol: how a request travels between the NDIS request
// library (lunmark100) and whatever plays the adapter's driver (adapter-sim,
// test drivers).
//
// Each installed adapter is one SOCK_SEQPACKET Unix socket in the adapter
// directory, named after the adapter's device name.  One request message goes
// each way per request; all fields are little-endian.  Version 2:
//
//   request: u32 magic "LMRQ", u32 version 2, u32 sequence,
//            u32 request type (0 = query), u32 oid, u32 buffer length,
//            buffer bytes                                  (header 24 bytes)
//   reply:   u32 magic "LMRP", u32 sequence, u32 ndis status (0 = success),
//            u32 bytes written, u32 bytes needed,
//            `bytes written` bytes                         (header 20 bytes)
//
// The sequence is the client's number for the request; the driver copies it
// into the reply, so the client can tell its answer from a late or repeated
// one.  A driver copies the word at the request's sequence offset even into
// its answer to a message it refuses as malformed (when the message is long
// enough to hold one): the client then gets a definite refusal instead of
// waiting for an answer that never comes.  A version-1 request is malformed
// for a version-2 driver.
//
// Every decoder here bounds-checks the bytes it is given and never reads past
// them; a malformed message is reported, never trusted.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <unistd.h>

namespace lunmark_wire {

inline constexpr std::uint32_t kRequestMagic = 0x51524D4Cu; // "LMRQ"
inline constexpr std::uint32_t kReplyMagic = 0x50524D4Cu;   // "LMRP"
inline constexpr std::uint32_t kVersion = 2;
inline constexpr std::uint32_t kRequestQuery = 0;
inline constexpr std::size_t kRequestHeaderSize = 24;
inline constexpr std::size_t kReplyHeaderSize = 20;
inline constexpr std::size_t kRequestSequenceOffset = 8;
inline constexpr std::size_t kReplySequenceOffset = 4;

// Status a driver answers for a malformed message (NDIS_STATUS_INVALID_DATA).
inline constexpr std::uint32_t kStatusInvalidData = 0xC0010015u;
// Status for an OID the driver does not support (NDIS_STATUS_NOT_SUPPORTED).
inline constexpr std::uint32_t kStatusNotSupported = 0xC00000BBu;
// Status for a buffer too short for the OID (NDIS_STATUS_INVALID_LENGTH).
inline constexpr std::uint32_t kStatusInvalidLength = 0xC0010014u;

// Largest buffer a message may carry.  The largest real buffer is the
// 15392-byte command frame; the bound keeps a hostile length from making a
// peer allocate without limit.
inline constexpr std::size_t kMaxBuffer = 65536;
inline constexpr std::size_t kMaxMessage = kRequestHeaderSize + kMaxBuffer;

inline std::uint32_t get_u32(const std::uint8_t *p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
           (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

inline void put_u32(std::uint8_t *p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

inline std::uint16_t get_u16(const std::uint8_t *p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}

inline void put_u16(std::uint8_t *p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

struct Request {
    std::uint32_t sequence = 0;
    std::uint32_t type = kRequestQuery;
    std::uint32_t oid = 0;
    // The caller's buffer as sent; its size is the buffer length field.
    std::span<const std::uint8_t> buffer;
};

struct Reply {
    std::uint32_t sequence = 0;
    std::uint32_t status = 0;
    std::uint32_t bytes_written = 0;
    std::uint32_t bytes_needed = 0;
    std::span<const std::uint8_t> data; // exactly bytes_written bytes
};

// Writes a request header (kRequestHeaderSize bytes) at `p`.
inline void put_request_header(std::uint8_t *p, std::uint32_t sequence, std::uint32_t type,
                               std::uint32_t oid, std::uint32_t buffer_length) {
    put_u32(p, kRequestMagic);
    put_u32(p + 4, kVersion);
    put_u32(p + kRequestSequenceOffset, sequence);
    put_u32(p + 12, type);
    put_u32(p + 16, oid);
    put_u32(p + 20, buffer_length);
}

// Writes a reply header (kReplyHeaderSize bytes) at `p`.
inline void put_reply_header(std::uint8_t *p, std::uint32_t sequence, std::uint32_t status,
                             std::uint32_t bytes_written, std::uint32_t bytes_needed) {
    put_u32(p, kReplyMagic);
    put_u32(p + kReplySequenceOffset, sequence);
    put_u32(p + 8, status);
    put_u32(p + 12, bytes_written);
    put_u32(p + 16, bytes_needed);
}

// The sequence a reply to `msg` carries: the word at the request's sequence
// offset, also for a message that is malformed otherwise; 0 when the
// message is too short to hold one.
inline std::uint32_t request_sequence(std::span<const std::uint8_t> msg) {
    return msg.size() >= kRequestSequenceOffset + 4 ? get_u32(msg.data() + kRequestSequenceOffset)
                                                    : 0;
}

// Sets the sequence of an encoded reply (one that encode_reply() built).
inline void set_reply_sequence(std::vector<std::uint8_t> &reply, std::uint32_t sequence) {
    if (reply.size() >= kReplyHeaderSize)
        put_u32(reply.data() + kReplySequenceOffset, sequence);
}

// Appends the encoded request to `out` (cleared first).
inline void encode_request(std::vector<std::uint8_t> &out, std::uint32_t type,
                           std::uint32_t oid, std::span<const std::uint8_t> buffer,
                           std::uint32_t sequence = 0) {
    out.resize(kRequestHeaderSize + buffer.size());
    put_request_header(out.data(), sequence, type, oid, std::uint32_t(buffer.size()));
    if (!buffer.empty())
        std::memcpy(out.data() + kRequestHeaderSize, buffer.data(), buffer.size());
}

// Decodes a request message; nullopt when the magic, version, or length
// field does not match the bytes received.
inline std::optional<Request> decode_request(std::span<const std::uint8_t> msg) {
    if (msg.size() < kRequestHeaderSize)
        return std::nullopt;
    if (get_u32(msg.data()) != kRequestMagic || get_u32(msg.data() + 4) != kVersion)
        return std::nullopt;
    const std::uint32_t len = get_u32(msg.data() + 20);
    if (len > kMaxBuffer || msg.size() - kRequestHeaderSize != len)
        return std::nullopt;
    Request r;
    r.sequence = get_u32(msg.data() + kRequestSequenceOffset);
    r.type = get_u32(msg.data() + 12);
    r.oid = get_u32(msg.data() + 16);
    r.buffer = msg.subspan(kRequestHeaderSize, len);
    return r;
}

// Encodes a reply into `out`; a driver that does not know the sequence yet
// sets it afterwards with set_reply_sequence().
inline void encode_reply(std::vector<std::uint8_t> &out, std::uint32_t status,
                         std::span<const std::uint8_t> data, std::uint32_t bytes_needed = 0,
                         std::uint32_t sequence = 0) {
    out.resize(kReplyHeaderSize + data.size());
    put_reply_header(out.data(), sequence, status, std::uint32_t(data.size()), bytes_needed);
    if (!data.empty())
        std::memcpy(out.data() + kReplyHeaderSize, data.data(), data.size());
}

// Decodes the header of a reply message of `message_size` bytes whose first
// bytes (up to kReplyHeaderSize of them) are `head`; the rest of the
// message may lie elsewhere (a receive scattered over several buffers).
// nullopt when the message is shorter than a header, the magic is wrong or
// the message is shorter than its header plus the bytes it claims to carry.
// `data` stays empty.
inline std::optional<Reply> decode_reply_header(std::span<const std::uint8_t> head,
                                                std::size_t message_size) {
    if (message_size < kReplyHeaderSize || head.size() < kReplyHeaderSize ||
        get_u32(head.data()) != kReplyMagic)
        return std::nullopt;
    Reply r;
    r.sequence = get_u32(head.data() + kReplySequenceOffset);
    r.status = get_u32(head.data() + 8);
    r.bytes_written = get_u32(head.data() + 12);
    r.bytes_needed = get_u32(head.data() + 16);
    if (r.bytes_written > message_size - kReplyHeaderSize)
        return std::nullopt;
    return r;
}

// Decodes a reply; nullopt when the magic is wrong or the message is shorter
// than its header plus the bytes it claims to carry.
inline std::optional<Reply> decode_reply(std::span<const std::uint8_t> msg) {
    auto r = decode_reply_header(msg.first(std::min(msg.size(), kReplyHeaderSize)), msg.size());
    if (r)
        r->data = msg.subspan(kReplyHeaderSize, r->bytes_written);
    return r;
}

// The adapter directory: $LUNMARK_ADAPTER_DIR, else
// $XDG_RUNTIME_DIR/lunmark/adapters, else /tmp/lunmark-<uid>/adapters.
inline std::string adapter_dir() {
    if (const char *d = std::getenv("LUNMARK_ADAPTER_DIR"); d && *d)
        return d;
    if (const char *x = std::getenv("XDG_RUNTIME_DIR"); x && *x)
        return std::string(x) + "/lunmark/adapters";
    return "/tmp/lunmark-" + std::to_string(::getuid()) + "/adapters";
}

} // namespace lunmark_wire
