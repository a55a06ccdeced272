#include "TestDriver.h"

#include <lunmark_wire/command_frame.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace lunmark_test {

namespace wire = lunmark_wire;

TestDriver::TestDriver(const std::string &dir, const std::string &name)
    : path_(dir + "/" + name), eeprom_(65536, 0xFF) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path_.size() >= sizeof addr.sun_path)
        throw std::runtime_error("socket path too long: " + path_);
    std::memcpy(addr.sun_path, path_.c_str(), path_.size());
    listen_fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0 || ::pipe2(stop_pipe_, O_CLOEXEC) != 0 ||
        ::bind(listen_fd_, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 16) != 0) {
        const std::string err = std::strerror(errno);
        if (listen_fd_ >= 0)
            ::close(listen_fd_);
        for (int fd : stop_pipe_)
            if (fd >= 0)
                ::close(fd);
        throw std::runtime_error("cannot listen on " + path_ + ": " + err);
    }
    handler_ = [this](const wire::Request &r) { return adapter_reply(r); };
    acceptor_ = std::thread([this] { accept_loop(); });
}

TestDriver::~TestDriver() {
    const char stop = 1;
    if (::write(stop_pipe_[1], &stop, 1) != 1) {
        // The acceptor also ends when its listening socket is shut down.
        ::shutdown(listen_fd_, SHUT_RDWR);
    }
    acceptor_.join();
    hold_answers(false);
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> g(mutex_);
        for (int fd : client_fds_)
            ::shutdown(fd, SHUT_RDWR);
        workers.swap(workers_);
    }
    for (std::thread &t : workers)
        t.join();
    ::close(listen_fd_);
    ::close(stop_pipe_[0]);
    ::close(stop_pipe_[1]);
    ::unlink(path_.c_str());
}

void TestDriver::hold_answers(bool held) {
    {
        std::lock_guard<std::mutex> g(mutex_);
        held_ = held;
    }
    gate_.notify_all();
}

void TestDriver::set_handler(Handler handler) {
    std::lock_guard<std::mutex> g(mutex_);
    handler_ = std::move(handler);
}

void TestDriver::accept_loop() {
    for (;;) {
        pollfd p[2] = {{listen_fd_, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[1].revents != 0 || (p[0].revents & (POLLERR | POLLHUP)))
            return;
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++connections_;
        std::lock_guard<std::mutex> g(mutex_);
        client_fds_.push_back(fd);
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

void TestDriver::serve(int fd) {
    std::vector<std::uint8_t> msg(wire::kMaxMessage + 1);
    for (;;) {
        const ssize_t n = ::recv(fd, msg.data(), msg.size(), 0);
        if (n <= 0)
            break;
        if (++active_ > 1)
            ++overlaps_;
        ++requests_;
        for (int i = hold_yields_.load(); i > 0; --i)
            ::sched_yield();
        std::vector<std::uint8_t> reply;
        const auto request = wire::decode_request({msg.data(), static_cast<std::size_t>(n)});
        Handler handler;
        {
            std::lock_guard<std::mutex> g(mutex_);
            handler = handler_;
        }
        if (request)
            reply = handler(*request);
        else
            wire::encode_reply(reply, wire::kStatusInvalidData, {});
        // A well-formed answer goes out under the request's sequence.
        if (reply.size() >= wire::kReplyHeaderSize && wire::get_u32(reply.data()) == wire::kReplyMagic)
            wire::set_reply_sequence(reply, wire::request_sequence({msg.data(), static_cast<std::size_t>(n)}));
        {
            std::unique_lock<std::mutex> g(mutex_);
            gate_.wait_for(g, std::chrono::seconds(10), [this] { return !held_; });
        }
        // Counted as finished before the answer leaves: the caller's next
        // request can only follow the answer.
        --active_;
        for (int copies = answer_twice_ ? 2 : 1; copies > 0 && !reply.empty(); --copies)
            if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0)
                copies = 0;
    }
    std::lock_guard<std::mutex> g(mutex_);
    std::erase(client_fds_, fd);
    ::close(fd);
}

std::vector<std::uint8_t> TestDriver::adapter_reply(const wire::Request &request) {
    std::vector<std::uint8_t> reply;
    const auto &in = request.buffer;
    if (request.oid != wire::kOidPrivateCommand || in.size() != wire::kFrameSize ||
        wire::get_u32(in.data()) != wire::kFrameSignature ||
        wire::get_u32(in.data() + 8) != wire::kFrameMagic ||
        wire::get_u32(in.data() + wire::kFrameTrailerOffset) != ~wire::kFrameMagic) {
        wire::encode_reply(reply, wire::kStatusInvalidData, {});
        return reply;
    }
    std::vector<std::uint8_t> frame(in.begin(), in.end());
    std::uint8_t *record = frame.data() + wire::kFrameRecordOffset;
    const std::uint32_t code = wire::get_u32(record);
    last_code_ = code;
    {
        std::lock_guard<std::mutex> g(mutex_);
        const std::uint64_t key =
            (std::uint64_t(record[8]) << 32) | wire::get_u32(record + 12);
        if (code == 2416) {
            wire::put_u32(record + 16, registers_[key]);
        } else if (code == 2417) {
            registers_[key] = wire::get_u32(record + 16);
        } else if (code == 2418 || code == 2419) {
            const std::uint32_t offset = wire::get_u32(record + 10248);
            const std::uint32_t length = wire::get_u32(record + 10252);
            if (length > 10240 || offset > eeprom_.size() || length > eeprom_.size() - offset) {
                wire::encode_reply(reply, wire::kStatusInvalidData, {});
                return reply;
            }
            if (code == 2418)
                std::memcpy(record + 8, eeprom_.data() + offset, length);
            else
                std::memcpy(eeprom_.data() + offset, record + 8, length);
        }
    }
    wire::put_u32(record + 4, 2);
    wire::encode_reply(reply, 0, frame);
    return reply;
}

std::uint32_t TestDriver::register_value(std::uint8_t selector, std::uint32_t address) {
    std::lock_guard<std::mutex> g(mutex_);
    return registers_[(std::uint64_t(selector) << 32) | address];
}

std::vector<std::uint8_t> TestDriver::eeprom(std::size_t offset, std::size_t length) {
    std::lock_guard<std::mutex> g(mutex_);
    if (offset > eeprom_.size() || length > eeprom_.size() - offset)
        return {};
    return {eeprom_.begin() + static_cast<std::ptrdiff_t>(offset),
            eeprom_.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

} // namespace lunmark_test
