// Round-trip times of one 15392-byte command frame:
//   bare     a SOCK_SEQPACKET echo between two processes, nothing else;
//   lunmark  ecom_exec_oid through liblunmark and liblunmark100 to an echo
//            driver process on the adapter socket protocol;
//   sim      ecom_exec_oid of command 0x30 to adapter-sim (when built).
// Each is measured twice:
//   1 CPU    every process pinned to one CPU (the first this one may use),
//            so a round trip is two context switches on one CPU and no
//            cross-CPU wake-up, whose cost (tens of microseconds on a small
//            virtual machine) would otherwise swamp what the library adds;
//   unpinned all CPUs, bare and lunmark alternating in batches of 20, so
//            that where the scheduler puts the processes affects both alike.
// Prints median, p99 and mean of each and the lunmark/bare median ratio.
//   lunmark_roundtrip_bench [ITERATIONS]
#include <lunmark/lunmark.h>
#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace wire = lunmark_wire;
using clock_type = std::chrono::steady_clock;

namespace {

struct Summary {
    double median_us = 0, p99_us = 0, mean_us = 0;
};

Summary summarise(std::vector<double> us) {
    Summary s;
    if (us.empty())
        return s;
    std::sort(us.begin(), us.end());
    s.median_us = us[us.size() / 2];
    s.p99_us = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    double sum = 0;
    for (double v : us)
        sum += v;
    s.mean_us = sum / static_cast<double>(us.size());
    return s;
}

void print(const char *what, const Summary &s, std::size_t n) {
    std::printf("%-8s n=%zu  median %8.2f us  p99 %8.2f us  mean %8.2f us\n", what, n, s.median_us,
                s.p99_us, s.mean_us);
}

[[noreturn]] void die(const char *what) {
    std::fprintf(stderr, "lunmark_roundtrip_bench: %s: %s\n", what, std::strerror(errno));
    std::exit(1);
}

// Child side of the bare echo: returns every message as it came.
[[noreturn]] void echo_messages(int fd) {
    std::vector<std::uint8_t> buf(wire::kMaxMessage);
    for (;;) {
        const ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
        if (n <= 0 || ::send(fd, buf.data(), static_cast<std::size_t>(n), MSG_NOSIGNAL) != n)
            ::_exit(0);
    }
}

// Child side of the echo driver: answers every request with its own
// buffer, sent straight from the receive buffer with one send as the bare
// echo does.  The reply header is shorter than the request header, so it is
// written over the request header's end, just before the buffer.
[[noreturn]] void echo_driver(int listen_fd) {
    static_assert(wire::kReplyHeaderSize <= wire::kRequestHeaderSize);
    constexpr std::size_t kReplyAt = wire::kRequestHeaderSize - wire::kReplyHeaderSize;
    const int fd = ::accept(listen_fd, nullptr, nullptr);
    if (fd < 0)
        ::_exit(1);
    std::vector<std::uint8_t> buf(wire::kMaxMessage);
    for (;;) {
        const ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
        if (n <= 0)
            ::_exit(0);
        const std::span<const std::uint8_t> msg(buf.data(), static_cast<std::size_t>(n));
        const auto req = wire::decode_request(msg);
        const std::uint32_t len = req ? static_cast<std::uint32_t>(req->buffer.size()) : 0;
        wire::put_reply_header(buf.data() + kReplyAt, wire::request_sequence(msg),
                               req ? 0 : wire::kStatusInvalidData, len, 0);
        const std::size_t size = wire::kReplyHeaderSize + len;
        if (::send(fd, buf.data() + kReplyAt, size, MSG_NOSIGNAL) != static_cast<ssize_t>(size))
            ::_exit(0);
    }
}

// A process on the other end of a socket, ended when the socket closes.
struct Peer {
    int fd = -1;
    pid_t pid = -1;
};

Peer start_bare_echo() {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) != 0)
        die("socketpair");
    const pid_t pid = ::fork();
    if (pid < 0)
        die("fork");
    if (pid == 0) {
        ::close(sv[0]);
        echo_messages(sv[1]);
    }
    ::close(sv[1]);
    return {sv[0], pid};
}

void bare_batch(const Peer &peer, int count, std::vector<double> &times) {
    static std::vector<std::uint8_t> out(wire::kFrameSize, 0x5A), in(wire::kFrameSize);
    for (int i = 0; i < count; ++i) {
        const auto t0 = clock_type::now();
        if (::send(peer.fd, out.data(), out.size(), 0) != static_cast<ssize_t>(out.size()) ||
            ::recv(peer.fd, in.data(), in.size(), 0) != static_cast<ssize_t>(in.size()))
            die("bare echo");
        const auto t1 = clock_type::now();
        times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
}

void exec_batch(int count, std::uint32_t code, std::vector<double> &times,
                std::uint8_t *record = nullptr) {
    static std::vector<std::uint8_t> own(LUNMARK_RECORD_SIZE);
    if (record == nullptr)
        record = own.data();
    for (int i = 0; i < count; ++i) {
        wire::put_u32(record, code);
        const auto t0 = clock_type::now();
        const int rc = ecom_exec_oid(record);
        const auto t1 = clock_type::now();
        if (rc != LUNMARK_OK) {
            std::fprintf(stderr, "lunmark_roundtrip_bench: ecom_exec_oid failed (%d)\n", rc);
            std::exit(1);
        }
        times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
}

// The records a caller hands in may lie anywhere in memory: the median of
// ecom_exec_oid with the record at each 4-byte offset of the first 64
// bytes of a page, fastest and slowest.  A copy whose destination lies a
// few bytes ahead of its source modulo 4 KiB would show here as a
// slowest median several microseconds above the fastest.
std::string placement_sweep() {
    constexpr std::size_t kPage = 4096;
    std::vector<std::uint8_t> area(LUNMARK_RECORD_SIZE + 2 * kPage);
    std::uint8_t *const page = area.data() + (kPage - reinterpret_cast<std::uintptr_t>(area.data()) % kPage);
    double fastest = 1e9, slowest = 0;
    int at_fastest = 0, at_slowest = 0;
    for (int offset = 0; offset < 64; offset += 4) {
        std::vector<double> times;
        exec_batch(500, 0x30, times, page + offset);
        const double median = summarise(times).median_us;
        if (median < fastest)
            fastest = median, at_fastest = offset;
        if (median > slowest)
            slowest = median, at_slowest = offset;
    }
    char line[160];
    std::snprintf(line, sizeof line,
                  "lunmark by record offset in its page: fastest median %.2f us (+%d), "
                  "slowest %.2f us (+%d)\n",
                  fastest, at_fastest, slowest, at_slowest);
    return line;
}

std::string make_temp_dir() {
    std::string pattern = "/tmp/lunmark-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        die("mkdtemp");
    return pattern;
}

// Forks the echo driver listening on <dir>/echo0.
pid_t start_echo_driver(const std::string &dir) {
    const std::string path = dir + "/echo0";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        die("socket path too long");
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    const int lfd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (lfd < 0 || ::bind(lfd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(lfd, 4) != 0)
        die("echo driver socket");
    const pid_t pid = ::fork();
    if (pid < 0)
        die("fork");
    if (pid == 0)
        echo_driver(lfd);
    ::close(lfd);
    return pid;
}

#ifdef LUNMARK_ADAPTER_SIM
// Starts adapter-sim on `dir` and waits for its "ready" line.
std::optional<pid_t> start_adapter_sim(const std::string &dir) {
    int out[2];
    if (::pipe(out) != 0)
        die("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    std::string prog = LUNMARK_ADAPTER_SIM, opt = "--dir", d = dir;
    char *argv[] = {prog.data(), opt.data(), d.data(), nullptr};
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, prog.c_str(), &fa, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return std::nullopt;
    }
    std::string text;
    const auto deadline = clock_type::now() + std::chrono::seconds(10);
    while (text.find("ready") == std::string::npos && clock_type::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    if (text.find("ready") == std::string::npos) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        return std::nullopt;
    }
    return pid;
}
#endif

// Times bare against lunmark in alternating batches of `batch`, then sim.
void run_variant(const char *title, int iterations, int batch) {
    std::printf("-- %s\n", title);
    const Peer bare_peer = start_bare_echo();
    const std::string dir = make_temp_dir();
    const pid_t driver = start_echo_driver(dir);
    // The lock file lives in the adapter directory: this private one keeps
    // other programs that use the library from showing up as lock waits.
    ::setenv("LUNMARK_ADAPTER_DIR", dir.c_str(), 1);
    if (ecom_connect("echo0") != LUNMARK_OK) {
        std::fprintf(stderr, "lunmark_roundtrip_bench: cannot open the echo driver\n");
        std::exit(1);
    }
    std::vector<double> bare_times, lunmark_times, warmup;
    bare_batch(bare_peer, 500, warmup);
    exec_batch(500, 0x30, warmup);
    for (int done = 0; done < iterations; done += batch) {
        const int n = std::min(batch, iterations - done);
        bare_batch(bare_peer, n, bare_times);
        exec_batch(n, 0x30, lunmark_times);
    }
    const std::string placement = placement_sweep();
    ecom_disconnect();
    ::close(bare_peer.fd);
    ::waitpid(bare_peer.pid, nullptr, 0);
    ::waitpid(driver, nullptr, 0);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);

    const auto bare = summarise(bare_times);
    const auto lunmark = summarise(lunmark_times);
    print("bare", bare, bare_times.size());
    print("lunmark", lunmark, lunmark_times.size());
    std::printf("lunmark/bare median ratio %.2f\n", lunmark.median_us / bare.median_us);
    std::printf("%s", placement.c_str());

#ifdef LUNMARK_ADAPTER_SIM
    const std::string sim_dir = make_temp_dir();
    if (const auto pid = start_adapter_sim(sim_dir)) {
        ::setenv("LUNMARK_ADAPTER_DIR", sim_dir.c_str(), 1);
        if (ecom_connect("SEARCH") == LUNMARK_OK) {
            std::vector<double> sim_times;
            exec_batch(500, 0x30, warmup);
            exec_batch(iterations, 0x30, sim_times);
            print("sim", summarise(sim_times), sim_times.size());
            ecom_disconnect();
        } else {
            std::fprintf(stderr, "lunmark_roundtrip_bench: no adapter of adapter-sim answers\n");
        }
        ::kill(*pid, SIGTERM);
        ::waitpid(*pid, nullptr, 0);
    } else {
        std::fprintf(stderr, "lunmark_roundtrip_bench: adapter-sim did not start\n");
    }
    std::filesystem::remove_all(sim_dir, ec);
#else
    std::printf("sim      (adapter-sim not built)\n");
#endif
}

} // namespace

int main(int argc, char **argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 20000;
    if (iterations <= 0) {
        std::fprintf(stderr, "usage: %s [ITERATIONS]\n", argv[0]);
        return 2;
    }
    cpu_set_t all;
    if (::sched_getaffinity(0, sizeof all, &all) != 0)
        die("sched_getaffinity");
    int first = 0;
    while (first < CPU_SETSIZE && !CPU_ISSET(first, &all))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    // The processes the variant starts inherit the mask.
    if (::sched_setaffinity(0, sizeof one, &one) != 0)
        die("sched_setaffinity");
    const std::string title = "1 CPU (all processes on CPU " + std::to_string(first) + ")";
    run_variant(title.c_str(), iterations, 500);
    if (::sched_setaffinity(0, sizeof all, &all) != 0)
        die("sched_setaffinity");
    if (CPU_COUNT(&all) > 1)
        run_variant("unpinned (all CPUs, batches of 20)", iterations, 20);
    return 0;
}
