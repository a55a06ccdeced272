#include "TestDriver.h"

#include <lunmark_wire/command_frame.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace lunmark_test {

namespace wire = lunmark_wire;

TestDriver::TestDriver(const std::string &dir, const std::string &name)
    : path_(dir + "/" + name) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path_.size() >= sizeof addr.sun_path)
        throw std::runtime_error("socket path too long: " + path_);
    std::memcpy(addr.sun_path, path_.c_str(), path_.size());
    listen_fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 16) != 0)
        throw std::runtime_error("cannot listen on " + path_ + ": " + std::strerror(errno));
    handler_ = [this](const wire::Request &r) { return adapter_reply(r); };
    acceptor_ = std::thread([this] { accept_loop(); });
}

TestDriver::~TestDriver() {
    // Shutting the listening socket down ends the acceptor's accept.
    ::shutdown(listen_fd_, SHUT_RDWR);
    acceptor_.join();
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
    ::unlink(path_.c_str());
}

void TestDriver::set_handler(Handler handler) {
    std::lock_guard<std::mutex> g(mutex_);
    handler_ = std::move(handler);
}

void TestDriver::accept_loop() {
    for (;;) {
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
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
        ++requests_;
        Handler handler;
        {
            std::lock_guard<std::mutex> g(mutex_);
            handler = handler_;
        }
        // The library under test sends only well-formed requests; anything
        // else goes unanswered.
        const auto request = wire::decode_request({msg.data(), static_cast<std::size_t>(n)});
        std::vector<std::uint8_t> reply = request ? handler(*request) : std::vector<std::uint8_t>{};
        // A well-formed answer goes out under the request's sequence.
        if (reply.size() >= wire::kReplyHeaderSize && wire::get_u32(reply.data()) == wire::kReplyMagic)
            wire::set_reply_sequence(reply, wire::request_sequence({msg.data(), static_cast<std::size_t>(n)}));
        for (int copies = answer_twice_ ? 2 : 1; copies > 0 && !reply.empty(); --copies)
            if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0)
                copies = 0;
    }
    std::lock_guard<std::mutex> g(mutex_);
    std::erase(client_fds_, fd);
    ::close(fd);
}

std::vector<std::uint8_t> TestDriver::adapter_reply(const wire::Request &request) {
    std::vector<std::uint8_t> frame(request.buffer.begin(), request.buffer.end()), reply;
    if (frame.size() == wire::kFrameSize)
        wire::put_u32(frame.data() + wire::kFrameRecordOffset + 4, 2);
    wire::encode_reply(reply, 0, frame);
    return reply;
}

} // namespace lunmark_test
