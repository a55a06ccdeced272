// One simulated adapter as its driver answers it: identity, association,
// scan, traffic counters, modem registers, EEPROM and the firmware trace.
// handle_message() takes one request message of the adapter socket
// protocol and produces the reply message; it is safe to call from several
// threads at once (requests are carried out one at a time).
#pragma once

#include "Clock.h"
#include "Eeprom.h"
#include "RadioEnvironment.h"
#include "RegDomain.h"
#include "RequestLog.h"
#include "Scenario.h"
#include "TraceGenerator.h"
#include "TrafficCounters.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace adapter_sim {

// Counters shared by every adapter of one simulator.  `in_flight` counts the
// requests inside an adapter right now; a request that finds another one in
// flight counts an overlap, which a correctly locked set of clients never
// causes.
struct SimStats {
    std::atomic<int> in_flight{0};
    std::atomic<int> max_in_flight{0};
    std::atomic<std::uint64_t> overlaps{0};
};

class Adapter {
public:
    Adapter(AdapterSpec spec, RadioEnvironment &air, IClock &clock, SimStats &stats);

    const AdapterSpec &spec() const { return m_spec; }

    // Opens the EEPROM image: the scenario's path, else <dir>/<name>.eeprom.
    bool open_eeprom(const std::string &default_dir, std::string &error);

    // Answers one request message into `reply` (cleared first).
    void handle_message(std::span<const std::uint8_t> message, std::vector<std::uint8_t> &reply);
    // Answers a message that could not be received whole (too long), under
    // the sequence found at the start of it.
    void reject_message(const char *reason, std::uint32_t sequence,
                        std::vector<std::uint8_t> &reply);

    // Faults provoked at run time.
    void drop_link();
    void set_latency(std::int64_t ms) { m_latency.store(ms); }
    std::int64_t latency() const { return m_latency.load(); }
    // The driver fails every later request carrying command `code`, as it
    // fails a command it does not know; `refuse_none` lifts every refusal.
    void refuse(std::uint32_t code);
    void refuse_none();

    // When set, every request is also written to stderr.
    void set_verbose(bool on) { m_verbose = on; }

    std::uint64_t requests() const { return m_requests.load(); }
    std::uint64_t malformed() const { return m_malformed.load(); }
    RequestLog &log() { return m_log; }
    bool connected();

private:
    struct WepKey {
        std::uint8_t length = 0; // 0: no key in this slot
        std::array<std::uint8_t, 32> bytes{};
    };
    struct Target {
        std::uint32_t net_mode = 1;     // 1 infrastructure, 2 ad hoc
        std::uint32_t connect_mode = 2; // 0 keeps the adapter off the air
        std::string ssid;
        int channel = 11;               // for an ad hoc network
        std::uint32_t preamble = 0;     // 1: short preamble
        std::uint32_t security = 0;     // 0 none, 1 WEP, 2 TKIP, 3 AES
        std::array<WepKey, 4> keys;
        int active_key = -1;            // -1: none
        std::uint32_t phy = 2;          // preferred PHY
    };
    struct Association {
        bool up = false;
        bool own_ibss = false;          // an ad hoc network we started alone
        std::size_t net = 0;            // index in the air, unless own_ibss
        MacAddress bssid{};
        std::string ssid;
        int channel = 0;
        Phy phy = Phy::G;
    };
    struct ScanEntry {
        std::size_t net;
        int signal;
    };
    struct Scan {
        bool active = false;
        std::int64_t start = 0;
        bool ever = false;
        std::vector<ScanEntry> results; // of the last finished scan
    };

    void process(std::span<const std::uint8_t> message, std::vector<std::uint8_t> &reply,
                 std::string &line);
    void handle_frame(std::span<const std::uint8_t> frame, std::vector<std::uint8_t> &reply,
                      std::string &line);
    void handle_trace(std::span<const std::uint8_t> buffer, std::vector<std::uint8_t> &reply,
                      std::string &line);
    std::uint32_t execute(std::uint32_t code, std::uint8_t *data, bool &write, std::string &detail);

    // Brings time-driven state up to `now`: traffic, scheduled link drop,
    // lost networks, scan completion.
    void advance(std::int64_t now);
    void run_traffic(std::int64_t until);
    void link_down(std::uint32_t reason);
    void evaluate_association();
    int current_signal() const;
    std::uint32_t current_rate() const;
    std::vector<ScanEntry> scan_found(std::int64_t until) const;
    void write_scan_block(std::uint8_t *data, std::int64_t now);
    void mark_target_changed() { m_target_dirty = true; }

    AdapterSpec m_spec;
    RadioEnvironment &m_air;
    IClock &m_clock;
    SimStats &m_stats;
    RegDomain m_domain;

    std::mutex m_mutex; // guards everything below up to m_log
    Target m_target;
    bool m_target_dirty = false;
    Association m_assoc;
    Scan m_scan;
    TrafficCounters m_counters;
    std::int64_t m_traffic_time = 0;
    bool m_link_drop_done = false;
    std::map<std::uint32_t, std::uint32_t> m_regs7, m_regs9;
    Eeprom m_eeprom;
    TraceGenerator m_trace;
    std::uint64_t m_seq = 0;

    RequestLog m_log;
    std::atomic<std::int64_t> m_latency;
    std::set<std::uint32_t> m_refused;
    std::atomic<std::uint64_t> m_requests{0};
    std::atomic<std::uint64_t> m_malformed{0};
    std::atomic<bool> m_verbose{false};
};

} // namespace adapter_sim
