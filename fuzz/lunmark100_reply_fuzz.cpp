// The request library's side of the adapter socket: a driver answers with
// arbitrary bytes.  Input: two bytes (little-endian) giving the caller's
// buffer length, then the reply message the driver sends.  The reply is
// queued on a socket pair before the request goes out (the driver's side
// then closes for writing), so the connection receives it as the answer to
// its first request, sequence 1.  Whatever comes back, the caller's buffer
// takes at most its own length and only from a well-formed reply to that
// request.
// fuzz-link: lunmark100_fuzzlib
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
    if (const auto r = wire::decode_reply(message)) {
        if (r->data.size() != r->bytes_written ||
            r->data.data() + r->data.size() > message.data() + message.size())
            __builtin_trap();
    }

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

    // A guard on either side of the caller's buffer catches writes past it.
    std::vector<std::uint8_t> buffer(length + 64, 0xA5);
    w32n_ndis_request request{};
    request.request_type = 0;
    request.oid = wire::kOidPrivateCommand;
    request.buffer = buffer.data() + 32;
    request.buffer_length = length;
    w32n_overlapped completion{};
    const int rc = connection->request(request, completion);

    for (std::size_t i = 0; i < 32; ++i)
        if (buffer[i] != 0xA5 || buffer[32 + length + i] != 0xA5)
            __builtin_trap();
    if (request.bytes_written > length || completion.bytes_transferred != request.bytes_written)
        __builtin_trap();
    const auto reply = wire::decode_reply(message);
    const bool good = reply && reply->sequence == 1 && reply->status == 0 && reply->bytes_written <= length &&
                      message.size() <= wire::kReplyHeaderSize + wire::kMaxBuffer;
    if ((rc == 0) != good)
        __builtin_trap();
    if (rc == 0 && reply->bytes_written != 0 &&
        std::memcmp(request.buffer, reply->data.data(), reply->bytes_written) != 0)
        __builtin_trap();

    // The request the library sent: one well-formed message.
    std::vector<std::uint8_t> sent(wire::kMaxMessage + 1);
    const ssize_t n = ::recv(driver, sent.data(), sent.size(), MSG_DONTWAIT);
    if (n < 0 || !wire::decode_request(std::span<const std::uint8_t>(sent.data(), static_cast<std::size_t>(n))))
        __builtin_trap();
    ::close(driver);
    return 0;
}
