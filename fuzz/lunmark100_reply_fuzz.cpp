// The request library's side of the adapter socket: a driver answers with
// arbitrary bytes.  Input: two bytes (little-endian) giving the caller's
// buffer length, then the reply message the driver sends.  The reply is
// queued on a socket pair before the request goes out (the driver's side
// then closes for writing), so the connection receives it as the answer to
// its first request, sequence 1.  Whatever comes back, the caller's buffer
// takes at most its own length and only from a well-formed reply to that
// request; the scattered request's receive segments likewise (they may also
// keep bytes of a refused reply, but nothing lands outside them or the
// headroom given before a single segment).
// fuzz-link: lunmark100_fuzzlib
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include "Connection.h"

namespace wire = lunmark_wire;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2 || size - 2 > wire::kMaxMessage + 64)
        return 0;
    const std::uint32_t length = (data[0] | data[1] << 8) % (wire::kFrameSize + 17);
    const std::span<const std::uint8_t> message(data + 2, size - 2);

    // The decoder alone: a reply it accepts lies within the message.
    const auto reply = wire::decode_reply(message);
    if (reply && (reply->data.size() != reply->bytes_written ||
                  reply->data.data() + reply->data.size() > message.data() + message.size()))
        __builtin_trap();
    const bool good = reply && reply->sequence == 1 && reply->status == 0 && reply->bytes_written <= length &&
                      message.size() <= wire::kReplyHeaderSize + wire::kMaxBuffer;

    // Once through the plain request, once scattered over two receive
    // segments, once into one segment with headroom before it.
    for (const int form : {0, 1, 2}) {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0)
            std::abort();
        const int driver = fds[1];
        if (::send(driver, message.data(), message.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(message.size()))
            std::abort();
        // A reply to another request is dropped; the end of the stream then
        // ends the wait at once.
        ::shutdown(driver, SHUT_WR);
        auto connection = std::make_shared<lunmark100::Connection>(fds[0], 1000);

        // Guards on either side of the caller's buffer, and for the
        // two-segment request on either side of both receive segments (cut
        // at an odd place), catch writes past them; the headroom lies
        // within the front guard.  The scattered request
        // sends from a buffer of its own, in two segments.
        std::vector<std::uint8_t> buffer(length + 96, 0xA5);
        std::vector<std::uint8_t> sent_buffer(length, 0x3C);
        const std::uint32_t cut = length / 2 | 1;
        std::uint8_t *const start = buffer.data() + 32;
        std::uint32_t written = 0;
        w32n_overlapped completion{};
        int rc;
        if (form == 0) {
            w32n_ndis_request request{};
            request.oid = wire::kOidPrivateCommand;
            request.buffer = start;
            request.buffer_length = length;
            rc = connection->request(request, completion);
            written = request.bytes_written;
        } else {
            const std::uint32_t first = form == 1 ? std::min(cut, length) : length;
            w32n_segment out[2] = {{sent_buffer.data(), first},
                                   {sent_buffer.data() + first, length - first}};
            w32n_segment in[2] = {{start, first}, {start + first + 32, length - first}};
            w32n_ndis_request_v request{};
            request.oid = wire::kOidPrivateCommand;
            request.send = out;
            request.send_count = 2;
            request.receive = in;
            request.receive_count = form == 1 ? 2 : 1;
            request.receive_headroom = form == 2 ? W32N_RECEIVE_HEADROOM : 0;
            rc = connection->request(request, completion);
            written = request.bytes_written;
            if (form == 1) {
                for (std::size_t i = 0; i < 32; ++i)
                    if (start[first + i] != 0xA5 || start[length + 32 + i] != 0xA5)
                        __builtin_trap();
                // Put the segments together where the plain request has them.
                std::memmove(start + first, start + first + 32, length - first);
            }
        }

        const std::size_t front = form == 2 ? 32 - W32N_RECEIVE_HEADROOM : 32;
        for (std::size_t i = 0; i < 32; ++i)
            if ((i < front && buffer[i] != 0xA5) || (form != 1 && buffer[32 + length + i] != 0xA5))
                __builtin_trap();
        if (written > length || completion.bytes_transferred != written)
            __builtin_trap();
        if ((rc == 0) != good)
            __builtin_trap();
        if (rc == 0 && written != 0 && std::memcmp(start, reply->data.data(), written) != 0)
            __builtin_trap();

        // The request the library sent: one well-formed message.
        std::vector<std::uint8_t> sent(wire::kMaxMessage + 1);
        const ssize_t n = ::recv(driver, sent.data(), sent.size(), MSG_DONTWAIT);
        if (n < 0)
            __builtin_trap();
        const auto request = wire::decode_request(std::span<const std::uint8_t>(sent.data(), static_cast<std::size_t>(n)));
        if (!request || request->buffer.size() != length ||
            (form != 0 && length != 0 &&
             std::memcmp(request->buffer.data(), sent_buffer.data(), length) != 0))
            __builtin_trap();
        ::close(driver);
    }
    return 0;
}
