// The socket server in process: several clients at once, each on its own
// connection and thread, and a vanish while they are connected.
#include "SimTestUtil.h"

#include "AdapterServer.h"
#include "Clock.h"

#include <gtest/gtest.h>

#include <thread>

using namespace adapter_sim;
using namespace sim_test;

TEST(ServerTest, ServesConcurrentClientsAndSurvivesVanish) {
    TempDir dir;
    auto sc = parse_scenario("[adapter s0]\n", "s.scn");
    ASSERT_TRUE(sc.scenario);
    SystemClock clock;
    SimStats stats;
    RadioEnvironment air({}, 1);
    Adapter adapter(sc.scenario->adapters[0], air, clock, stats);
    bool quit = false;
    AdapterServer server(adapter, air, stats, dir.Path(), [&] { quit = true; });
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;

    constexpr int kClients = 4, kRequests = 150;
    const Bytes msg = make_request(w::kOidPrivateCommand, make_frame(cmd::kMacRead));
    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&] {
            const int fd = connect_adapter(server.socket_path());
            if (fd < 0)
                return;
            for (int i = 0; i < kRequests; ++i)
                if (decode_answer(round_trip(fd, msg)).status == 2)
                    answered.fetch_add(1);
            ::close(fd);
        });
    for (auto &t : clients)
        t.join();
    EXPECT_EQ(answered.load(), kClients * kRequests);
    EXPECT_EQ(adapter.requests(), static_cast<std::uint64_t>(kClients * kRequests));

    // Connections open during a vanish are closed; after appear a new one works.
    const int held = connect_adapter(server.socket_path());
    ASSERT_GE(held, 0);
    ASSERT_EQ(probe_status(held), 2u);
    EXPECT_EQ(server.control("vanish"), "ok\n");
    EXPECT_TRUE(round_trip(held, msg).empty());
    ::close(held);
    EXPECT_EQ(server.control("appear"), "ok\n");
    const int fresh = connect_adapter(server.socket_path());
    ASSERT_GE(fresh, 0);
    EXPECT_EQ(probe_status(fresh), 2u);
    ::close(fresh);

    EXPECT_EQ(server.control("quit"), "ok\n");
    EXPECT_TRUE(quit);
    server.stop();
}
