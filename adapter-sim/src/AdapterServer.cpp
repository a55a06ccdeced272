#include "AdapterServer.h"

#include <lunmark_wire/socket_protocol.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace adapter_sim {

namespace {

constexpr std::size_t kMaxControlLine = 4096;

bool make_sockaddr(const std::string &path, sockaddr_un &addr, std::string &error) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        error = "socket path " + path + " is longer than " +
                std::to_string(sizeof addr.sun_path - 1) + " bytes";
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void close_fd(int &fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool make_pipe(int fds[2], std::string &error) {
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void wake(int fd) {
    const char c = 1;
    while (::write(fd, &c, 1) < 0 && errno == EINTR) {
    }
}

bool make_dir(const std::string &path, std::string &error) {
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST)
        return true;
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

} // namespace

int bind_unix_socket(const std::string &path, int type, std::string &error) {
    sockaddr_un addr{};
    if (!make_sockaddr(path, addr, error))
        return -1;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            error = path + " exists and is not a socket";
            return -1;
        }
        // Someone's socket file: live if anything still accepts on it.
        const int probe = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
        if (probe < 0) {
            error = std::string("cannot create a socket: ") + std::strerror(errno);
            return -1;
        }
        const int rc = ::connect(probe, reinterpret_cast<const sockaddr *>(&addr), sizeof addr);
        const int err = errno;
        ::close(probe);
        if (rc == 0 || (err != ECONNREFUSED && err != ENOENT)) {
            error = "socket " + path + " is in use by a running simulator";
            return -1;
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            error = "cannot remove the stale socket " + path + ": " + std::strerror(errno);
            return -1;
        }
    }
    const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return -1;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        error = "cannot bind " + path + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    if (::listen(fd, 16) != 0) {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(path.c_str());
        return -1;
    }
    return fd;
}

AdapterServer::AdapterServer(Adapter &adapter, RadioEnvironment &air, SimStats &stats,
                             std::string dir, std::function<void()> on_quit)
    : m_adapter(adapter), m_air(air), m_stats(stats), m_dir(std::move(dir)),
      m_on_quit(std::move(on_quit)) {}

AdapterServer::~AdapterServer() { stop(); }

std::string AdapterServer::control_path(const std::string &dir, const std::string &name) {
    return dir + "/.adapter-sim/" + name + ".ctl";
}

bool AdapterServer::start(std::string &error) {
    if (!make_dir(m_dir + "/.adapter-sim", error))
        return false;
    // The control socket first: it is the simulator's claim on the name, so
    // a second simulator is refused before it touches the adapter socket.
    m_ctl_fd = bind_unix_socket(control_path(m_dir, m_adapter.spec().name), SOCK_STREAM, error);
    if (m_ctl_fd < 0)
        return false;
    if (!make_pipe(m_ctl_wake, error)) {
        close_fd(m_ctl_fd);
        ::unlink(control_path(m_dir, m_adapter.spec().name).c_str());
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!open_listener(error)) {
            close_fd(m_ctl_fd);
            close_fd(m_ctl_wake[0]);
            close_fd(m_ctl_wake[1]);
            ::unlink(control_path(m_dir, m_adapter.spec().name).c_str());
            return false;
        }
        const AdapterSpec &s = m_adapter.spec();
        if (s.vanish_at_ms >= 0) {
            m_vanish_at = s.vanish_at_ms;
            m_appear_at = -1;
        }
    }
    m_ctl_thread = std::thread([this] { control_loop(); });
    return true;
}

void AdapterServer::stop() {
    if (m_stopping.exchange(true))
        return;
    if (m_ctl_thread.joinable()) {
        wake(m_ctl_wake[1]);
        m_ctl_thread.join();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        close_listener();
    }
    if (m_ctl_fd >= 0) {
        close_fd(m_ctl_fd);
        ::unlink(control_path(m_dir, m_adapter.spec().name).c_str());
    }
    close_fd(m_ctl_wake[0]);
    close_fd(m_ctl_wake[1]);
}

// Called with m_mutex held.
bool AdapterServer::open_listener(std::string &error) {
    if (m_present)
        return true;
    const std::string path = socket_path();
    m_listen_fd = bind_unix_socket(path, SOCK_SEQPACKET, error);
    if (m_listen_fd < 0)
        return false;
    if (!make_pipe(m_listen_wake, error)) {
        close_fd(m_listen_fd);
        ::unlink(path.c_str());
        return false;
    }
    {
        std::ofstream desc(path + ".desc", std::ios::trunc);
        desc << m_adapter.spec().description << '\n';
        if (!desc) {
            error = "cannot write " + path + ".desc";
            close_fd(m_listen_fd);
            close_fd(m_listen_wake[0]);
            close_fd(m_listen_wake[1]);
            ::unlink(path.c_str());
            return false;
        }
    }
    m_present = true;
    m_listen_thread = std::thread([this] { listen_loop(); });
    return true;
}

// Called with m_mutex held; the listener thread does not take the mutex
// except to add connections, which it does only before it sees the wake-up.
void AdapterServer::close_listener() {
    if (!m_present)
        return;
    m_present = false;
    wake(m_listen_wake[1]);
    // The listen thread may be waiting for m_mutex to register a connection:
    // let go while joining.
    std::thread t = std::move(m_listen_thread);
    m_mutex.unlock();
    if (t.joinable())
        t.join();
    m_mutex.lock();
    close_fd(m_listen_fd);
    close_fd(m_listen_wake[0]);
    close_fd(m_listen_wake[1]);
    ::unlink(socket_path().c_str());
    ::unlink((socket_path() + ".desc").c_str());
    reap_connections(true);
}

void AdapterServer::listen_loop() {
    for (;;) {
        pollfd p[2] = {{m_listen_fd, POLLIN, 0}, {m_listen_wake[0], POLLIN, 0}};
        const int rc = ::poll(p, 2, -1);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[1].revents)
            return;
        if (!(p[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(m_listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        reap_connections(false);
        auto conn = std::make_unique<Connection>();
        conn->fd = fd;
        Connection &c = *conn;
        m_conns.push_back(std::move(conn));
        c.thread = std::thread([this, &c] { serve(c); });
    }
}

// Called with m_mutex held.  `all`: shut every connection down and wait for
// it; otherwise only collect the threads that have finished.
void AdapterServer::reap_connections(bool all) {
    if (all)
        for (auto &c : m_conns)
            ::shutdown(c->fd, SHUT_RDWR);
    for (auto it = m_conns.begin(); it != m_conns.end();) {
        Connection &c = **it;
        if (all || c.done.load()) {
            if (c.thread.joinable())
                c.thread.join();
            close_fd(c.fd);
            it = m_conns.erase(it);
        } else {
            ++it;
        }
    }
}

void AdapterServer::serve(Connection &conn) {
    std::vector<std::uint8_t> buf(lunmark_wire::kMaxMessage + 1);
    std::vector<std::uint8_t> reply;
    for (;;) {
        pollfd p{conn.fd, POLLIN | POLLRDHUP, 0};
        if (::poll(&p, 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        iovec iov{buf.data(), buf.size()};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        const ssize_t n = ::recvmsg(conn.fd, &msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            break;
        }
        if (n == 0 && (p.revents & (POLLHUP | POLLRDHUP | POLLERR)))
            break; // the peer closed the connection
        if (msg.msg_flags & MSG_TRUNC)
            m_adapter.reject_message("too-long", lunmark_wire::request_sequence(buf), reply);
        else
            m_adapter.handle_message(std::span<const std::uint8_t>(buf.data(), static_cast<std::size_t>(n)),
                                     reply);
        if (::send(conn.fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0)
            break;
    }
    conn.done.store(true);
}

void AdapterServer::vanish(std::int64_t for_ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    close_listener();
    m_vanish_at = -1;
    m_appear_at = for_ms >= 0 ? m_clock.now_ms() + for_ms : -1;
}

bool AdapterServer::appear(std::string &error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_appear_at = -1;
    return open_listener(error);
}

void AdapterServer::run_schedule() {
    std::int64_t vanish_at, appear_at;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        vanish_at = m_vanish_at;
        appear_at = m_appear_at;
    }
    const std::int64_t now = m_clock.now_ms();
    if (vanish_at >= 0 && now >= vanish_at) {
        vanish(m_adapter.spec().vanish_for_ms);
    } else if (appear_at >= 0 && now >= appear_at) {
        std::string error;
        if (!appear(error))
            std::fprintf(stderr, "adapter-sim: %s: cannot reappear: %s\n",
                         m_adapter.spec().name.c_str(), error.c_str());
    }
}

void AdapterServer::control_loop() {
    for (;;) {
        int timeout = -1;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const std::int64_t next = m_vanish_at >= 0 ? m_vanish_at : m_appear_at;
            if (next >= 0)
                timeout = static_cast<int>(std::max<std::int64_t>(0, next - m_clock.now_ms()));
        }
        pollfd p[2] = {{m_ctl_fd, POLLIN, 0}, {m_ctl_wake[0], POLLIN, 0}};
        const int rc = ::poll(p, 2, timeout);
        if (rc < 0 && errno != EINTR)
            return;
        if (p[1].revents)
            return;
        run_schedule();
        if (rc > 0 && (p[0].revents & POLLIN)) {
            const int fd = ::accept4(m_ctl_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                run_control_client(fd);
                ::close(fd);
            }
        }
    }
}

void AdapterServer::run_control_client(int fd) {
    std::string line;
    char buf[512];
    while (line.find('\n') == std::string::npos && line.size() <= kMaxControlLine) {
        pollfd p{fd, POLLIN, 0};
        // A client that connects and says nothing is not waited for long.
        if (::poll(&p, 1, 5000) <= 0)
            return;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    std::string reply = line.size() > kMaxControlLine ? std::string("error: command too long\n")
                                                      : control(line.substr(0, line.find('\n')));
    std::size_t off = 0;
    while (off < reply.size()) {
        const ssize_t n = ::send(fd, reply.data() + off, reply.size() - off, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        off += static_cast<std::size_t>(n);
    }
}

std::string AdapterServer::control(std::string_view raw) {
    const std::string_view line = trim(raw);
    const std::size_t sp = line.find(' ');
    const std::string_view word = line.substr(0, sp);
    const std::string_view arg = sp == std::string_view::npos ? std::string_view() : trim(line.substr(sp));
    auto number = [&](std::int64_t &out) {
        const auto n = parse_number(arg);
        if (!n || *n > 24ull * 3600 * 1000)
            return false;
        out = static_cast<std::int64_t>(*n);
        return true;
    };

    if (word == "drop-link" && arg.empty()) {
        m_adapter.drop_link();
        return "ok\n";
    }
    if (word == "vanish") {
        std::int64_t ms = -1;
        if (!arg.empty() && !number(ms))
            return "error: vanish takes a time in milliseconds\n";
        vanish(ms);
        return "ok\n";
    }
    if (word == "appear" && arg.empty()) {
        std::string error;
        if (!appear(error))
            return "error: " + error + "\n";
        return "ok\n";
    }
    if (word == "latency") {
        std::int64_t ms = 0;
        if (!number(ms) || ms > 60000)
            return "error: latency takes a time in milliseconds (at most 60000)\n";
        m_adapter.set_latency(ms);
        return "ok\n";
    }
    if (word == "refuse") {
        if (arg == "none") {
            m_adapter.refuse_none();
            return "ok\n";
        }
        const auto code = parse_number(arg);
        if (!code || *code > 0xffffffffu)
            return "error: refuse takes a command code or none\n";
        m_adapter.refuse(static_cast<std::uint32_t>(*code));
        return "ok\n";
    }
    if (word == "remove-network" || word == "restore-network") {
        const auto ssid = parse_ssid(arg);
        if (arg.empty() || !ssid)
            return "error: " + std::string(word) + " takes an SSID (quote it for escapes)\n";
        const std::size_t n = word == "remove-network" ? m_air.remove_ssid(*ssid) : m_air.restore_ssid(*ssid);
        if (n == 0)
            return "error: no network " + quote_ssid(*ssid) + " in the scenario\n";
        return "ok\n" + std::to_string(n) + "\n";
    }
    if (word == "stats" && arg.empty()) {
        bool present;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            present = m_present;
        }
        return "ok\nrequests " + std::to_string(m_adapter.requests()) + "\nmalformed " +
               std::to_string(m_adapter.malformed()) + "\noverlaps " +
               std::to_string(m_stats.overlaps.load()) + "\nmax_in_flight " +
               std::to_string(m_stats.max_in_flight.load()) + "\nconnected " +
               (m_adapter.connected() ? "yes" : "no") + "\npresent " + (present ? "yes" : "no") +
               "\nlatency " + std::to_string(m_adapter.latency()) + "\n";
    }
    if (word == "log" && arg.empty())
        return "ok\n" + m_adapter.log().text();
    if (word == "clear-log" && arg.empty()) {
        m_adapter.log().clear();
        return "ok\n";
    }
    if (word == "quit" && arg.empty()) {
        if (m_on_quit)
            m_on_quit();
        return "ok\n";
    }
    if (word.empty())
        return "error: empty command\n";
    return "error: unknown command '" + std::string(line) +
           "' (drop-link, vanish [MS], appear, latency MS, refuse CODE|none, remove-network SSID, "
           "restore-network SSID, stats, log, clear-log, quit)\n";
}

} // namespace adapter_sim
