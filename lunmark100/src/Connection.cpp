#include "Connection.h"

#include <lunmark_wire/socket_protocol.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace lunmark100 {

namespace wire = lunmark_wire;

namespace {

constexpr int kDefaultTimeoutMs = 5000;
constexpr long kMaxTimeoutMs = 3600000;

timeval to_timeval(int ms) {
    return timeval{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
}

} // namespace

int Connection::timeout_from_environment() {
    const char *text = std::getenv("LUNMARK_REQUEST_TIMEOUT_MS");
    if (text == nullptr || *text < '0' || *text > '9')
        return kDefaultTimeoutMs;
    errno = 0;
    char *end = nullptr;
    const long ms = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || ms < 1 || ms > kMaxTimeoutMs)
        return kDefaultTimeoutMs;
    return static_cast<int>(ms);
}

std::shared_ptr<Connection> Connection::open(const std::string &path, int timeout_ms) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        return nullptr;
    std::memcpy(addr.sun_path, path.data(), path.size());

    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    // The send timeout also bounds connect() on a Unix socket whose
    // listener's backlog is full; the receive timeout bounds the wait for
    // an answer.
    const timeval tv = to_timeval(timeout_ms);
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0 ||
        ::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return nullptr;
    }
    try {
        return std::make_shared<Connection>(fd, timeout_ms);
    } catch (...) {
        ::close(fd);
        return nullptr;
    }
}

Connection::Connection(int fd, int timeout_ms)
    : fd_(fd), timeout_ms_(timeout_ms), rx_(wire::kReplyHeaderSize + wire::kMaxBuffer) {}

Connection::~Connection() { ::close(fd_); }

void Connection::drop() {
    dropped_.store(true);
    // Wakes a thread waiting in poll(); the descriptor itself stays valid
    // until the last user lets go of the connection.
    ::shutdown(fd_, SHUT_RDWR);
}

int Connection::request(w32n_ndis_request &request, w32n_overlapped &completion) {
    std::uint32_t driver_status = 0;
    int rc;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        rc = exchange(request, driver_status);
    }
    if (rc != 0)
        request.bytes_written = 0;
    completion.status = static_cast<std::uint32_t>(rc);
    completion.driver_status = driver_status;
    completion.bytes_transferred = request.bytes_written;
    completion.event = 1;
    return rc;
}

int Connection::exchange(w32n_ndis_request &request, std::uint32_t &driver_status) {
    request.bytes_written = 0;
    request.bytes_needed = 0;
    const std::uint32_t length = request.buffer_length;
    if (length > wire::kMaxBuffer || (request.buffer == nullptr && length != 0))
        return W32N_ERR_ARGUMENT;
    if (dropped_.load())
        return W32N_ERR_IO;

    std::uint8_t header[wire::kRequestHeaderSize];
    wire::put_u32(header, wire::kRequestMagic);
    wire::put_u32(header + 4, wire::kVersion);
    wire::put_u32(header + 8, request.request_type);
    wire::put_u32(header + 12, request.oid);
    wire::put_u32(header + 16, length);
    iovec iov[2] = {{header, sizeof header}, {request.buffer, length}};
    msghdr out{};
    out.msg_iov = iov;
    out.msg_iovlen = length != 0 ? 2 : 1;
    ssize_t sent;
    do {
        sent = ::sendmsg(fd_, &out, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(sizeof header + length)) {
        const bool timed_out = sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        drop();
        return timed_out ? W32N_ERR_TIMEOUT : W32N_ERR_IO;
    }

    // The answer is awaited in a receive bounded by SO_RCVTIMEO (one system
    // call); a wait interrupted by a signal goes on in poll() until the
    // same deadline.
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeout_ms_);
    iovec in_iov{rx_.data(), rx_.size()};
    msghdr in{};
    in.msg_iov = &in_iov;
    in.msg_iovlen = 1;
    ssize_t got = ::recvmsg(fd_, &in, 0);
    while (got < 0) {
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            drop();
            return W32N_ERR_IO;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
        if (left.count() <= 0) {
            drop();
            return W32N_ERR_TIMEOUT;
        }
        pollfd p{fd_, POLLIN, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left.count()));
        if (n < 0 && errno != EINTR) {
            drop();
            return W32N_ERR_IO;
        }
        if (n > 0) {
            in = msghdr{};
            in.msg_iov = &in_iov;
            in.msg_iovlen = 1;
            got = ::recvmsg(fd_, &in, MSG_DONTWAIT);
        } else {
            errno = EINTR; // wait on until the deadline
        }
    }
    const int flags = in.msg_flags;
    if (got <= 0 || dropped_.load()) {
        drop();
        return W32N_ERR_IO;
    }
    if (flags & MSG_TRUNC) {
        drop();
        return W32N_ERR_PROTOCOL;
    }
    const auto reply =
        wire::decode_reply(std::span<const std::uint8_t>(rx_.data(), static_cast<std::size_t>(got)));
    if (!reply || reply->bytes_written > length) {
        drop();
        return W32N_ERR_PROTOCOL;
    }
    driver_status = reply->status;
    request.bytes_needed = reply->bytes_needed;
    if (reply->status != 0)
        return W32N_ERR_DRIVER;
    if (reply->bytes_written != 0)
        std::memcpy(request.buffer, reply->data.data(), reply->bytes_written);
    request.bytes_written = reply->bytes_written;
    return 0;
}

} // namespace lunmark100
