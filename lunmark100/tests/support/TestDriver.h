// A small driver on the adapter socket protocol for tests: listens on one
// adapter socket, serves each connection on a thread of its own, and counts
// requests that were in progress at the same time.
#pragma once

#include <lunmark_wire/socket_protocol.h>

#include "TempDir.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
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
    ~TestDriver();
    TestDriver(const TestDriver &) = delete;
    TestDriver &operator=(const TestDriver &) = delete;

    void set_handler(Handler handler);
    // Yields the processor this many times inside every request, to widen
    // the window in which an overlapping request would be seen.
    void set_hold_yields(int yields) { hold_yields_ = yields; }

    // While held, requests are carried out but their answers wait (at most
    // 10 s each) until the hold ends.
    void hold_answers(bool held);
    // Sends every answer twice, as a misbehaving driver would.
    void set_answer_twice(bool twice) { answer_twice_ = twice; }

    int requests() const { return requests_.load(); }
    int overlaps() const { return overlaps_.load(); }
    int connections() const { return connections_.load(); }
    // Command code of the last command frame received.
    std::uint32_t last_command_code() const { return last_code_.load(); }

    // The default behaviour: a small adapter.  Answers command frames with
    // completion status 2: probe 16 and unknown codes echo the record; 2416
    // and 2417 read and write a register file keyed by selector and address;
    // 2418 and 2419 read and write a 64 KiB EEPROM image; 2420 echoes.
    // Malformed frames get kStatusInvalidData.
    std::vector<std::uint8_t> adapter_reply(const lunmark_wire::Request &request);

    std::uint32_t register_value(std::uint8_t selector, std::uint32_t address);
    std::vector<std::uint8_t> eeprom(std::size_t offset, std::size_t length);

private:
    void accept_loop();
    void serve(int fd);

    std::string path_;
    int listen_fd_ = -1;
    int stop_pipe_[2] = {-1, -1};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> workers_;
    std::vector<int> client_fds_;
    Handler handler_;
    std::map<std::uint64_t, std::uint32_t> registers_;
    std::vector<std::uint8_t> eeprom_;
    std::condition_variable gate_; // with mutex_, for held_
    bool held_ = false;
    std::atomic<bool> answer_twice_{false};
    std::atomic<int> hold_yields_{0};
    std::atomic<int> active_{0};
    std::atomic<int> requests_{0};
    std::atomic<int> overlaps_{0};
    std::atomic<int> connections_{0};
    std::atomic<std::uint32_t> last_code_{0};
};

} // namespace lunmark_test
