#include "ControlClient.h"

#include "AdapterServer.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace adapter_sim {

std::string ControlClient::resolve(const std::string &target, const std::string &dir) {
    if (target.find('/') == std::string::npos)
        return AdapterServer::control_path(dir, target);
    if (target.size() > 4 && target.compare(target.size() - 4, 4, ".ctl") == 0)
        return target;
    const std::size_t slash = target.rfind('/');
    return AdapterServer::control_path(target.substr(0, slash), target.substr(slash + 1));
}

bool ControlClient::send(const std::string &path, const std::string &command, std::string &reply,
                         std::string &error) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        error = "control socket path " + path + " is too long";
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return false;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        error = "no simulator answers on " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    const std::string line = command + "\n";
    std::size_t off = 0;
    while (off < line.size()) {
        const ssize_t n = ::send(fd, line.data() + off, line.size() - off, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = std::string("cannot send the command: ") + std::strerror(errno);
            ::close(fd);
            return false;
        }
        off += static_cast<std::size_t>(n);
    }
    reply.clear();
    char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int rc = ::poll(&p, 1, 30000);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0) {
            error = "the simulator did not answer on " + path;
            ::close(fd);
            return false;
        }
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::string("cannot read the answer: ") + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        reply.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (reply.empty()) {
        error = "the simulator closed the control connection without an answer";
        return false;
    }
    return true;
}

} // namespace adapter_sim
