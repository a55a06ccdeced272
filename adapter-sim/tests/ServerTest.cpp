// The socket server in process: several clients at once, each on its own
// connection and thread, and a vanish while they are connected.
#include "SimTestUtil.h"

#include "AdapterServer.h"
#include "Clock.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>

#include <thread>

using namespace adapter_sim;
using namespace sim_test;

namespace {

int connect_to(const std::string &path) {
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ask(int fd, const Bytes &msg, Bytes &reply) {
    if (::send(fd, msg.data(), msg.size(), MSG_NOSIGNAL) < 0)
        return false;
    reply.resize(w::kMaxMessage);
    const ssize_t n = ::recv(fd, reply.data(), reply.size(), 0);
    if (n <= 0)
        return false;
    reply.resize(static_cast<std::size_t>(n));
    return true;
}

} // namespace

TEST(ServerTest, ServesConcurrentClientsAndSurvivesVanish) {
    TempDir dir;
    auto sc = parse_scenario("[adapter s0]\n", "s.scn");
    ASSERT_TRUE(sc.scenario);
    SystemClock clock;
    SimStats stats;
    RadioEnvironment air({}, 1);
    Adapter adapter(sc.scenario->adapters[0], air, clock, stats);
    bool quit = false;
    AdapterServer server(adapter, air, stats, dir.path(), [&] { quit = true; });
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;

    constexpr int kClients = 4, kRequests = 150;
    const Bytes msg = make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead));
    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&] {
            const int fd = connect_to(server.socket_path());
            if (fd < 0)
                return;
            Bytes reply;
            for (int i = 0; i < kRequests; ++i)
                if (ask(fd, msg, reply) && decode_answer(reply).status == 2)
                    answered.fetch_add(1);
            ::close(fd);
        });
    for (auto &t : clients)
        t.join();
    EXPECT_EQ(answered.load(), kClients * kRequests);
    EXPECT_EQ(adapter.requests(), static_cast<std::uint64_t>(kClients * kRequests));

    // Connections open during a vanish are closed; after appear a new one works.
    const int held = connect_to(server.socket_path());
    ASSERT_GE(held, 0);
    Bytes reply;
    ASSERT_TRUE(ask(held, msg, reply));
    EXPECT_EQ(server.control("vanish"), "ok\n");
    EXPECT_FALSE(ask(held, msg, reply));
    ::close(held);
    EXPECT_EQ(server.control("appear"), "ok\n");
    const int fresh = connect_to(server.socket_path());
    ASSERT_GE(fresh, 0);
    EXPECT_TRUE(ask(fresh, msg, reply));
    ::close(fresh);

    EXPECT_EQ(server.control("quit"), "ok\n");
    EXPECT_TRUE(quit);
    server.stop();
}
