// A small driver on the adapter socket protocol for tests: listens on one
// adapter socket and serves each connection on a thread of its own, with
// answers that tests may make silent, repeated or malformed.
#pragma once

#include <lunmark_wire/socket_protocol.h>

#include "TempDir.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lunmark_test {

class TestDriver {
public:
    // Builds the reply message for one request.  An empty result sends
    // nothing (a silent driver); a result may also be any malformed bytes.
    // A result that starts with a reply header goes out under the request's
    // sequence.
    using Handler = std::function<std::vector<std::uint8_t>(const lunmark_wire::Request &)>;

    // Listens on <dir>/<name>; throws std::runtime_error when it cannot.
    TestDriver(const std::string &dir, const std::string &name);
    ~TestDriver(); // not copyable: it owns threads and a mutex

    void set_handler(Handler handler);
    // Sends every answer twice, as a misbehaving driver would.
    void set_answer_twice(bool twice) { answer_twice_ = twice; }

    int requests() const { return requests_.load(); }

    // The default behaviour: the buffer echoed, with completion status 2 in
    // a command frame's record.
    std::vector<std::uint8_t> adapter_reply(const lunmark_wire::Request &request);

private:
    void accept_loop();
    void serve(int fd);

    std::string path_;
    int listen_fd_ = -1;
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> workers_;
    std::vector<int> client_fds_;
    Handler handler_;
    std::atomic<bool> answer_twice_{false};
    std::atomic<int> requests_{0};
};

} // namespace lunmark_test
