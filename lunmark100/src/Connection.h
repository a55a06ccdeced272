// One open adapter: a connected SOCK_SEQPACKET socket to its driver.
#pragma once

#include <lunmark100/lunmark100.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include <sys/uio.h>

namespace lunmark100 {

class Connection {
public:
    // Connects to the socket at `path`; null on failure.  Connecting, sending
    // and waiting for an answer each take at most `timeout_ms`.
    static std::shared_ptr<Connection> open(const std::string &path, int timeout_ms);

    explicit Connection(int fd, int timeout_ms);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // One request and its answer; requests of several threads on the same
    // connection take turns.  Returns 0 or a W32N_ERR_* code and fills the
    // byte counts of `request` and the fields of `completion`.  The plain
    // request receives into rx_ and copies a good answer into its buffer;
    // the scattered one receives straight into its receive segments.
    int request(w32n_ndis_request &request, w32n_overlapped &completion);
    int request(w32n_ndis_request_v &request, w32n_overlapped &completion);
    // Drops the connection: a request waiting on it fails at once (with
    // W32N_ERR_LOST), and every later one fails with W32N_ERR_IO without
    // being sent.  Safe from any thread.
    void drop();

    // LUNMARK_REQUEST_TIMEOUT_MS when it is a number from 1 to 3600000,
    // else 5000.
    static int timeout_from_environment();

private:
    using clock = std::chrono::steady_clock;

    // What the driver answered to a request.
    struct Answer {
        std::uint32_t status = 0;
        std::uint32_t bytes_written = 0;
        std::uint32_t bytes_needed = 0;
    };

    int exchange(w32n_ndis_request &request, Answer &answer);
    int exchange(const w32n_ndis_request_v &request, Answer &answer);
    // Sends the request header and then `out` (`length` bytes in all), and
    // waits for this request's answer.  `whole`: `in` is one segment with
    // W32N_RECEIVE_HEADROOM bytes of room before it, and each message is
    // received into that room and the segment in one piece.  Otherwise each
    // message's header is received into a buffer of its own, its further
    // bytes into `in` and, past those, into rx_.  A message longer than the
    // protocol allows is malformed.  0 with the answer (its bytes_written
    // at most `length`), else the W32N_ERR_* code of the failure (the
    // connection is then dropped, except after W32N_ERR_DRIVER).
    int exchange(std::uint32_t type, std::uint32_t oid, std::span<const iovec> out,
                 std::uint32_t length, std::span<const iovec> in, bool whole, Answer &answer);
    // Receives the next message into `in` before `deadline`; `first`: the
    // first wait of a request.  0 with the message's length in `got` (into
    // a single buffer, the bytes past it are cut off), else the W32N_ERR_*
    // code of the failure (a message longer than the protocol allows is a
    // protocol error).
    int receive(clock::time_point deadline, bool first, std::span<iovec> in, std::size_t &got);
    int complete(int rc, const Answer &answer, w32n_overlapped &completion);

    const int fd_;
    const int timeout_ms_;
    std::atomic<bool> dropped_{false};
    std::mutex mutex_;              // one request at a time
    std::vector<std::uint8_t> rx_;  // room for a header, then answer bytes; under mutex_
    std::uint32_t sequence_ = 0;    // of the last request sent, under mutex_
};

} // namespace lunmark100
