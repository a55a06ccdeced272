#include "Connection.h"

#include <lunmark_wire/socket_protocol.h>

#include <algorithm>
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

static_assert(W32N_RECEIVE_HEADROOM == wire::kReplyHeaderSize);

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

int Connection::complete(int rc, const Answer &answer, w32n_overlapped &completion) {
    completion.status = static_cast<std::uint32_t>(rc);
    completion.driver_status = answer.status;
    completion.bytes_transferred = rc == 0 ? answer.bytes_written : 0;
    completion.event = 1;
    return rc;
}

int Connection::request(w32n_ndis_request &request, w32n_overlapped &completion) {
    Answer answer;
    int rc;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        rc = exchange(request, answer);
        // The answer's bytes replace the start of the buffer only now that
        // the answer is known to be this request's and good.
        if (rc == 0 && answer.bytes_written != 0)
            std::memcpy(request.buffer, rx_.data() + wire::kReplyHeaderSize, answer.bytes_written);
    }
    request.bytes_written = rc == 0 ? answer.bytes_written : 0;
    request.bytes_needed = answer.bytes_needed;
    return complete(rc, answer, completion);
}

int Connection::request(w32n_ndis_request_v &request, w32n_overlapped &completion) {
    Answer answer;
    int rc;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        rc = exchange(request, answer);
    }
    request.bytes_written = rc == 0 ? answer.bytes_written : 0;
    request.bytes_needed = answer.bytes_needed;
    return complete(rc, answer, completion);
}

int Connection::exchange(w32n_ndis_request &request, Answer &answer) {
    const std::uint32_t length = request.buffer_length;
    if (length > wire::kMaxBuffer || (request.buffer == nullptr && length != 0))
        return W32N_ERR_ARGUMENT;
    const iovec out{request.buffer, length};
    const iovec in{rx_.data() + wire::kReplyHeaderSize, wire::kMaxBuffer};
    return exchange(request.request_type, request.oid, {&out, length != 0 ? 1u : 0u}, length,
                    {&in, 1}, true, answer);
}

namespace {

// The segments of one list as iovecs; false when the list is not a valid
// one.  `total`: the bytes the segments hold in all.
bool to_iovecs(const w32n_segment *segments, std::uint32_t count, iovec (&out)[W32N_MAX_SEGMENTS],
               std::size_t &used, std::uint64_t &total) {
    used = 0;
    total = 0;
    if (count > W32N_MAX_SEGMENTS || (segments == nullptr && count != 0))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (segments[i].base == nullptr && segments[i].length != 0)
            return false;
        total += segments[i].length;
        if (segments[i].length != 0)
            out[used++] = iovec{segments[i].base, segments[i].length};
    }
    return true;
}

} // namespace

int Connection::exchange(const w32n_ndis_request_v &request, Answer &answer) {
    iovec out[W32N_MAX_SEGMENTS], in[W32N_MAX_SEGMENTS];
    std::size_t out_used = 0, in_used = 0;
    std::uint64_t length = 0, room = 0;
    if (!to_iovecs(request.send, request.send_count, out, out_used, length) ||
        !to_iovecs(request.receive, request.receive_count, in, in_used, room) ||
        length > wire::kMaxBuffer || room < length)
        return W32N_ERR_ARGUMENT;
    const bool whole = request.receive_headroom >= W32N_RECEIVE_HEADROOM &&
                       request.receive_count == 1 && in_used == 1;
    return exchange(request.request_type, request.oid, {out, out_used},
                    static_cast<std::uint32_t>(length), {in, in_used}, whole, answer);
}

int Connection::exchange(std::uint32_t type, std::uint32_t oid, std::span<const iovec> out,
                         std::uint32_t length, std::span<const iovec> in, bool whole,
                         Answer &answer) {
    if (dropped_.load())
        return W32N_ERR_IO;

    const std::uint32_t sequence = ++sequence_;
    std::uint8_t header[wire::kRequestHeaderSize];
    wire::put_request_header(header, sequence, type, oid, length);
    iovec out_iov[1 + W32N_MAX_SEGMENTS];
    out_iov[0] = {header, sizeof header};
    std::copy(out.begin(), out.end(), out_iov + 1);
    msghdr msg{};
    msg.msg_iov = out_iov;
    msg.msg_iovlen = 1 + out.size();
    ssize_t sent;
    do {
        sent = ::sendmsg(fd_, &msg, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(sizeof header + length)) {
        // A sequenced-packet send is all or nothing: a failed one never
        // reached the driver.
        const bool timed_out = sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        drop();
        return timed_out ? W32N_ERR_TIMEOUT : sent < 0 ? W32N_ERR_IO : W32N_ERR_LOST;
    }

    // Where a message goes.  Whole: into the one segment with its header in
    // the room before it; a message longer than that is cut by the receive,
    // which still tells its length.  Otherwise the header apart, then `in`
    // up to the most a message may carry, then rx_ for whatever the
    // protocol still allows.
    std::uint8_t own_head[wire::kReplyHeaderSize];
    std::uint8_t *head = own_head;
    iovec in_iov[2 + W32N_MAX_SEGMENTS];
    std::size_t parts = 0;
    if (whole) {
        head = static_cast<std::uint8_t *>(in[0].iov_base) - wire::kReplyHeaderSize;
        in_iov[parts++] = {head, wire::kReplyHeaderSize + std::min(in[0].iov_len, wire::kMaxBuffer)};
    } else {
        in_iov[parts++] = {own_head, sizeof own_head};
        std::size_t room = wire::kMaxBuffer;
        for (const iovec &part : in) {
            if (room == 0)
                break;
            const std::size_t take = std::min(part.iov_len, room);
            in_iov[parts++] = {part.iov_base, take};
            room -= take;
        }
        if (room != 0)
            in_iov[parts++] = {rx_.data() + wire::kReplyHeaderSize, room};
    }

    // Answers to earlier requests (late or repeated ones) are read and
    // dropped until this request's own answer comes, all within one
    // deadline.
    const auto deadline = clock::now() + std::chrono::milliseconds(timeout_ms_);
    for (bool first = true;; first = false) {
        std::size_t got = 0;
        if (const int rc = receive(deadline, first, {in_iov, parts}, got); rc != 0) {
            drop();
            return rc;
        }
        const auto reply = wire::decode_reply_header(
            std::span<const std::uint8_t>(head, std::min(got, wire::kReplyHeaderSize)), got);
        if (!reply) {
            drop();
            return W32N_ERR_PROTOCOL;
        }
        if (reply->sequence != sequence)
            continue;
        if (reply->bytes_written > length) {
            drop();
            return W32N_ERR_PROTOCOL;
        }
        answer.status = reply->status;
        answer.bytes_needed = reply->bytes_needed;
        if (reply->status != 0)
            return W32N_ERR_DRIVER;
        answer.bytes_written = reply->bytes_written;
        return 0;
    }
}

int Connection::receive(clock::time_point deadline, bool first, std::span<iovec> in_iov,
                        std::size_t &got) {
    // One buffer is a plain receive, which costs the kernel less than a
    // scattered one; MSG_TRUNC makes it return the message's whole length.
    bool cut = false;
    const auto take = [&](int flags) -> ssize_t {
        if (in_iov.size() == 1)
            return ::recv(fd_, in_iov[0].iov_base, in_iov[0].iov_len, flags | MSG_TRUNC);
        msghdr in{};
        in.msg_iov = in_iov.data();
        in.msg_iovlen = in_iov.size();
        const ssize_t n = ::recvmsg(fd_, &in, flags);
        cut = n >= 0 && (in.msg_flags & MSG_TRUNC) != 0;
        return n;
    };
    // The first wait is one receive bounded by SO_RCVTIMEO (one system
    // call); a wait interrupted by a signal, and every later one, goes on in
    // poll() until the deadline, which is checked before each of them.
    ssize_t n = -1;
    errno = EAGAIN;
    if (first)
        n = take(0);
    while (n < 0) {
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return W32N_ERR_LOST;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
        if (left.count() <= 0)
            return W32N_ERR_TIMEOUT;
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR)
            return W32N_ERR_LOST;
        if (ready > 0)
            n = take(MSG_DONTWAIT);
        else
            errno = EINTR; // wait on until the deadline
    }
    if (n == 0 || dropped_.load())
        return W32N_ERR_LOST;
    if (cut || static_cast<std::size_t>(n) > wire::kReplyHeaderSize + wire::kMaxBuffer)
        return W32N_ERR_PROTOCOL;
    got = static_cast<std::size_t>(n);
    return 0;
}

} // namespace lunmark100
