// adapter-sim: plays one or more simulated USB 802.11a/b/g adapters on the
// adapter socket protocol, or sends a control command to a running one.
#include "Adapter.h"
#include "AdapterServer.h"
#include "Clock.h"
#include "ControlClient.h"
#include "RadioEnvironment.h"
#include "Scenario.h"

#include <lunmark_wire/socket_protocol.h>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef ADAPTER_SIM_SCENARIO_DIR
#define ADAPTER_SIM_SCENARIO_DIR "/usr/local/share/adapter-sim"
#endif

using namespace adapter_sim;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void usage(FILE *out) {
    std::fputs("usage: adapter-sim [--dir DIR] [--scenario FILE] [--seed N] [--eeprom FILE]\n"
               "                   [--exit-with-parent] [-v]\n"
               "       adapter-sim ctl [--dir DIR] ADAPTER|SOCKET COMMAND [ARGUMENT]\n"
               "commands: drop-link, vanish [MS], appear, latency MS, refuse CODE|none,\n"
               "          remove-network SSID, restore-network SSID, stats, log, clear-log, quit\n",
               out);
}

bool make_dirs(const std::string &path, std::string &error) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i != path.size() && path[i] != '/')
            continue;
        const std::string part = path.substr(0, i);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + part + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

std::string default_scenario() {
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string p(exe, static_cast<std::size_t>(n));
        p = p.substr(0, p.rfind('/')) + "/../share/adapter-sim/default.scn";
        if (::access(p.c_str(), R_OK) == 0)
            return p;
    }
    return std::string(ADAPTER_SIM_SCENARIO_DIR) + "/default.scn";
}

int run_ctl(int argc, char **argv) {
    std::string dir = lunmark_wire::adapter_dir();
    int i = 2;
    if (i + 1 < argc && std::strcmp(argv[i], "--dir") == 0) {
        dir = argv[i + 1];
        i += 2;
    }
    if (argc - i < 2) {
        usage(stderr);
        return kExitUsage;
    }
    const std::string path = ControlClient::resolve(argv[i], dir);
    std::string command;
    for (int k = i + 1; k < argc; ++k) {
        if (k > i + 1)
            command += ' ';
        command += argv[k];
    }
    std::string reply, error;
    if (!ControlClient::send(path, command, reply, error)) {
        std::fprintf(stderr, "adapter-sim: %s\n", error.c_str());
        return kExitFailure;
    }
    const std::size_t nl = reply.find('\n');
    const std::string first = reply.substr(0, nl);
    const std::string body = nl == std::string::npos ? std::string() : reply.substr(nl + 1);
    if (first != "ok") {
        std::fprintf(stderr, "adapter-sim: %s\n", first.c_str());
        return kExitFailure;
    }
    std::fwrite(body.data(), 1, body.size(), stdout);
    return 0;
}

struct QuitSignal {
    std::mutex mutex;
    std::condition_variable cv;
    bool quit = false;
    void raise() {
        std::lock_guard<std::mutex> lock(mutex);
        quit = true;
        cv.notify_all();
    }
};

} // namespace

int main(int argc, char **argv) {
    if (argc >= 2 && std::strcmp(argv[1], "ctl") == 0)
        return run_ctl(argc, argv);

    std::string dir, scenario_path, eeprom;
    bool verbose = false, have_seed = false, exit_with_parent = false;
    std::uint64_t seed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "adapter-sim: %s needs a value\n", a.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "-v" || a == "--verbose") {
            verbose = true;
        } else if (a == "-h" || a == "--help") {
            usage(stdout);
            return 0;
        } else if (a == "--exit-with-parent") {
            exit_with_parent = true;
        } else if (a == "--dir") {
            if (!value(dir))
                return kExitUsage;
        } else if (a == "--scenario") {
            if (!value(scenario_path))
                return kExitUsage;
        } else if (a == "--eeprom") {
            if (!value(eeprom))
                return kExitUsage;
        } else if (a == "--seed") {
            if (!value(v))
                return kExitUsage;
            const auto n = parse_number(v);
            if (!n) {
                std::fprintf(stderr, "adapter-sim: --seed needs a number, not '%s'\n", v.c_str());
                return kExitUsage;
            }
            seed = *n;
            have_seed = true;
        } else {
            std::fprintf(stderr, "adapter-sim: unknown argument '%s'\n", a.c_str());
            usage(stderr);
            return kExitUsage;
        }
    }

    // A simulator started by a test ends with it, even when the test is
    // killed or crashes: a forgotten simulator would keep its adapter
    // socket and hold the test runner's output pipe open.
    if (exit_with_parent) {
        if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) {
            std::fprintf(stderr, "adapter-sim: cannot follow the parent process: %s\n",
                         std::strerror(errno));
            return kExitFailure;
        }
        if (::getppid() == 1)  // the parent has already ended
            return kExitFailure;
    }

    if (scenario_path.empty())
        scenario_path = default_scenario();
    ScenarioResult sr = load_scenario(scenario_path);
    if (!sr.scenario) {
        std::fprintf(stderr, "%s\n", sr.error.c_str());
        return kExitUsage;
    }
    Scenario sc = std::move(*sr.scenario);
    if (have_seed)
        sc.seed = seed;
    if (!eeprom.empty()) {
        if (sc.adapters.size() > 1)
            std::fprintf(stderr, "adapter-sim: --eeprom applies to the first adapter, %s\n",
                         sc.adapters.front().name.c_str());
        sc.adapters.front().eeprom_path = eeprom;
    }
    if (dir.empty())
        dir = lunmark_wire::adapter_dir();
    std::string error;
    if (!make_dirs(dir, error)) {
        std::fprintf(stderr, "adapter-sim: %s\n", error.c_str());
        return kExitFailure;
    }

    // Signals are taken by one thread with sigwait; every other thread
    // inherits the blocked mask.
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGINT);
    sigaddset(&sigs, SIGTERM);
    sigaddset(&sigs, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &sigs, nullptr) != 0) {
        std::fprintf(stderr, "adapter-sim: cannot block signals\n");
        return kExitFailure;
    }
    std::signal(SIGPIPE, SIG_IGN);

    QuitSignal quit;
    SystemClock clock;
    RadioEnvironment air(sc.networks, sc.seed);
    SimStats stats;
    std::vector<std::unique_ptr<Adapter>> adapters;
    std::vector<std::unique_ptr<AdapterServer>> servers;
    int rc = 0;
    for (const AdapterSpec &spec : sc.adapters) {
        auto a = std::make_unique<Adapter>(spec, air, clock, stats);
        a->set_verbose(verbose);
        if (!a->open_eeprom(dir, error)) {
            std::fprintf(stderr, "adapter-sim: %s: %s\n", spec.name.c_str(), error.c_str());
            rc = kExitFailure;
            break;
        }
        auto s = std::make_unique<AdapterServer>(*a, air, stats, dir, [&quit] { quit.raise(); });
        if (!s->start(error)) {
            std::fprintf(stderr, "adapter-sim: %s\n", error.c_str());
            rc = kExitFailure;
            break;
        }
        adapters.push_back(std::move(a));
        servers.push_back(std::move(s));
    }

    if (rc == 0) {
        std::printf("adapter-sim: ready: %zu adapter(s) in %s\n", servers.size(), dir.c_str());
        std::fflush(stdout);
        std::thread waiter([&] {
            int sig = 0;
            while (sigwait(&sigs, &sig) == 0) {
                quit.raise();
                break;
            }
        });
        {
            std::unique_lock<std::mutex> lock(quit.mutex);
            quit.cv.wait(lock, [&] { return quit.quit; });
        }
        // Wake the signal thread when the quit came over a control socket.
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
    }
    for (auto &s : servers)
        s->stop();
    return rc;
}
