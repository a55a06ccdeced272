// One open adapter: a connected SOCK_SEQPACKET socket to its driver.
#pragma once

#include <lunmark100/lunmark100.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
    // byte counts of `request` and the fields of `completion`.
    int request(w32n_ndis_request &request, w32n_overlapped &completion);
    // Drops the connection: a request waiting on it fails at once (with
    // W32N_ERR_LOST), and every later one fails with W32N_ERR_IO without
    // being sent.  Safe from any thread.
    void drop();

    // LUNMARK_REQUEST_TIMEOUT_MS when it is a number from 1 to 3600000,
    // else 5000.
    static int timeout_from_environment();

private:
    using clock = std::chrono::steady_clock;

    int exchange(w32n_ndis_request &request, std::uint32_t &driver_status);
    // Receives the next message into rx_ before `deadline`; `first`: the
    // first wait of a request.  0 with its length in `got`, else the
    // W32N_ERR_* code of the failure.
    int receive(clock::time_point deadline, bool first, std::size_t &got);

    const int fd_;
    const int timeout_ms_;
    std::atomic<bool> dropped_{false};
    std::mutex mutex_;              // one request at a time
    std::vector<std::uint8_t> rx_;  // answer buffer, under mutex_
    std::uint32_t sequence_ = 0;    // of the last request sent, under mutex_
};

} // namespace lunmark100
