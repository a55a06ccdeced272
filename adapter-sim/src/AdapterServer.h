// Serves one simulated adapter on its Unix socket: accepts connections,
// answers each on a thread of its own, writes the adapter's .desc file, and
// runs the control socket through which tests and users provoke faults.
//
// Files (DIR is the adapter directory):
//   DIR/NAME                      adapter socket (SOCK_SEQPACKET)
//   DIR/NAME.desc                 adapter description
//   DIR/.adapter-sim/NAME.ctl     control socket (SOCK_STREAM, one text
//                                 command per connection; see README.md)
#pragma once

#include "Adapter.h"
#include "RadioEnvironment.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace adapter_sim {

class AdapterServer {
public:
    AdapterServer(Adapter &adapter, RadioEnvironment &air, SimStats &stats, std::string dir,
                  std::function<void()> on_quit);
    ~AdapterServer();
    AdapterServer(const AdapterServer &) = delete;
    AdapterServer &operator=(const AdapterServer &) = delete;

    // Creates the sockets and the .desc file and starts serving.  Refuses
    // (false, `error` set) when a live simulator holds the socket name; a
    // stale socket file of a dead one is replaced.
    bool start(std::string &error);
    // Stops serving, closes every connection and removes the files.
    void stop();

    // Runs one control command line and returns the reply text: "ok" or
    // "error: ..." on the first line, then the command's output.
    std::string control(std::string_view line);

    static std::string control_path(const std::string &dir, const std::string &name);
    std::string socket_path() const { return m_dir + "/" + m_adapter.spec().name; }

private:
    struct Connection {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    bool open_listener(std::string &error);
    void close_listener();
    void listen_loop();
    void serve(Connection &conn);
    void control_loop();
    void run_control_client(int fd);
    void reap_connections(bool all);
    void vanish(std::int64_t for_ms);
    bool appear(std::string &error);
    void run_schedule();

    Adapter &m_adapter;
    RadioEnvironment &m_air;
    SimStats &m_stats;
    std::string m_dir;
    std::function<void()> m_on_quit;
    SystemClock m_clock;

    std::mutex m_mutex; // guards the listener, the connections and the schedule
    int m_listen_fd = -1;
    int m_listen_wake[2] = {-1, -1};
    std::thread m_listen_thread;
    std::list<std::unique_ptr<Connection>> m_conns;
    bool m_present = false;
    std::int64_t m_vanish_at = -1;
    std::int64_t m_appear_at = -1;

    int m_ctl_fd = -1;
    int m_ctl_wake[2] = {-1, -1};
    std::thread m_ctl_thread;
    std::atomic<bool> m_stopping{false};
};

// Binds a Unix socket of `type` at `path`, replacing a stale socket file
// but refusing one a live process still listens on.  -1 with `error` set on
// failure.
int bind_unix_socket(const std::string &path, int type, std::string &error);

} // namespace adapter_sim
