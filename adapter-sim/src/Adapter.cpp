#include "Adapter.h"

#include "CommandCodes.h"

#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace adapter_sim {

using lunmark_wire::get_u16;
using lunmark_wire::get_u32;
using lunmark_wire::put_u16;
using lunmark_wire::put_u32;

namespace {

constexpr std::size_t kDataSize = lunmark_wire::kRecordSize - lunmark_wire::kRecordDataOffset;

// scan_result_block and scan_entry layout.
constexpr std::size_t kScanMaxEntries = 20;
constexpr std::size_t kScanEntrySize = 384;
constexpr std::size_t kScanInfraCount = 1;
constexpr std::size_t kScanInfraList = 4;
constexpr std::size_t kScanAdhocCount = 7684;
constexpr std::size_t kScanAdhocList = 7688;

// Register and EEPROM command fields (data offsets).
constexpr std::size_t kRegSelector = 0;
constexpr std::size_t kRegAddress = 4;
constexpr std::size_t kRegValue = 8;
constexpr std::size_t kEepromMax = 10240;
constexpr std::size_t kEepromOffset = 10240;
constexpr std::size_t kEepromLength = 10244;
constexpr std::size_t kMiscMax = 512;
constexpr std::size_t kMiscLength = 512;
constexpr std::uint32_t kRegisterSpace = 0x10000;

std::uint32_t as_unsigned(int v) { return static_cast<std::uint32_t>(v); }

std::string hex32(std::uint32_t v, int width) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%0*x", width, v);
    return b;
}

std::string hex_bytes(const std::uint8_t *p, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

bool is_write_code(std::uint32_t code) {
    switch (code) {
    case cmd::kMacWrite:
    case cmd::kSsidWrite:
    case cmd::kPhyWrite:
    case cmd::kNetModeWrite:
    case cmd::kChannelWrite:
    case cmd::kSecurityWrite:
    case cmd::kConnectModeWrite:
    case cmd::kModemWrite:
    case cmd::kEepromWrite:
    case cmd::kModemMisc:
        return true;
    default:
        return false;
    }
}

// A 32-bit address inside the register space, word aligned.
bool valid_register(std::uint32_t addr) { return addr < kRegisterSpace && addr % 4 == 0; }

// Fails a request as the driver fails one it does not know
// (NDIS_STATUS_NOT_SUPPORTED).  The log line gets `what` (its fields up to
// the status), the status and `why`.
void answer_not_supported(const std::string &what, std::string_view why,
                          std::vector<std::uint8_t> &reply, std::string &line) {
    line += what + " " + hex32(lunmark_wire::kStatusNotSupported, 8) + " " + std::string(why);
    lunmark_wire::encode_reply(reply, lunmark_wire::kStatusNotSupported, {});
}

} // namespace

Adapter::Adapter(AdapterSpec spec, RadioEnvironment &air, IClock &clock, SimStats &stats)
    : m_spec(std::move(spec)), m_air(air), m_clock(clock), m_stats(stats),
      m_domain(m_spec.reg_domain), m_counters(m_spec.counter_start),
      m_latency(m_spec.latency_ms) {
    // Bank 7 holds the baseband chip, bank 9 the radio; register 0 of each
    // is its identification.
    m_regs7[0] = 0x5A1000A2u;
    m_regs9[0] = 0x00000901u;
    for (const auto &[a, v] : m_spec.reg7)
        m_regs7[a] = v;
    for (const auto &[a, v] : m_spec.reg9)
        m_regs9[a] = v;
    m_traffic_time = m_clock.now_ms();
    m_trace.message(trace::kModHost, trace::kMsgFirmwareStarted, m_spec.firmware[0],
                    m_spec.firmware[1]);
}

bool Adapter::open_eeprom(const std::string &default_dir, std::string &error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string path =
        m_spec.eeprom_path.empty() ? default_dir + "/" + m_spec.name + ".eeprom" : m_spec.eeprom_path;
    return m_eeprom.open(path, m_spec.eeprom_size, m_spec, error);
}

bool Adapter::connected() {
    std::lock_guard<std::mutex> lock(m_mutex);
    advance(m_clock.now_ms());
    if (m_target_dirty)
        evaluate_association();
    return m_assoc.up;
}

void Adapter::refuse(std::uint32_t code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refused.insert(code);
}

void Adapter::refuse_none() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refused.clear();
}

void Adapter::drop_link() {
    std::lock_guard<std::mutex> lock(m_mutex);
    advance(m_clock.now_ms());
    if (m_target_dirty)
        evaluate_association();
    link_down(trace::kLostDropped);
}

// ---------------------------------------------------------------------------
// Messages and frames

void Adapter::handle_message(std::span<const std::uint8_t> message,
                             std::vector<std::uint8_t> &reply) {
    // Count requests in flight across all adapters; a second one in flight
    // means two clients got past their lock at the same time.
    const int inside = m_stats.in_flight.fetch_add(1) + 1;
    if (inside > 1)
        m_stats.overlaps.fetch_add(1);
    int seen = m_stats.max_in_flight.load();
    while (inside > seen && !m_stats.max_in_flight.compare_exchange_weak(seen, inside)) {
    }

    const std::int64_t delay = m_latency.load();
    if (delay > 0)
        m_clock.sleep_ms(delay);

    std::string line;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.fetch_add(1);
        advance(m_clock.now_ms());
        line = std::to_string(++m_seq) + " ";
        process(message, reply, line);
    }
    // Every answer carries the request's sequence back, a refusal too.
    lunmark_wire::set_reply_sequence(reply, lunmark_wire::request_sequence(message));
    m_stats.in_flight.fetch_sub(1);
    if (m_verbose.load())
        std::fprintf(stderr, "adapter-sim: %s: %s\n", m_spec.name.c_str(), line.c_str());
    m_log.add(std::move(line));
}

void Adapter::reject_message(const char *reason, std::uint32_t sequence,
                             std::vector<std::uint8_t> &reply) {
    std::string line;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.fetch_add(1);
        m_malformed.fetch_add(1);
        line = std::to_string(++m_seq) + " bad - - - " + hex32(lunmark_wire::kStatusInvalidData, 8) +
               " " + reason;
    }
    lunmark_wire::encode_reply(reply, lunmark_wire::kStatusInvalidData, {}, 0, sequence);
    if (m_verbose.load())
        std::fprintf(stderr, "adapter-sim: %s: %s\n", m_spec.name.c_str(), line.c_str());
    m_log.add(std::move(line));
}

void Adapter::process(std::span<const std::uint8_t> message,
                      std::vector<std::uint8_t> &reply, std::string &line) {
    const auto req = lunmark_wire::decode_request(message);
    if (!req) {
        m_malformed.fetch_add(1);
        // A message of another protocol version is named as such, whatever
        // its length.
        const char *why = message.size() < 8 ? "short-message"
                          : get_u32(message.data()) != lunmark_wire::kRequestMagic
                              ? "wrong-magic"
                          : get_u32(message.data() + 4) != lunmark_wire::kVersion
                              ? "wrong-version"
                          : message.size() < lunmark_wire::kRequestHeaderSize ? "short-message"
                                                                             : "wrong-length";
        line += "bad - - - " + hex32(lunmark_wire::kStatusInvalidData, 8) + " " + why;
        lunmark_wire::encode_reply(reply, lunmark_wire::kStatusInvalidData, {});
        return;
    }
    if (req->type != lunmark_wire::kRequestQuery) {
        answer_not_supported("oid " + hex32(req->oid, 8) + " - -",
                             "request-type-" + std::to_string(req->type), reply, line);
        return;
    }
    if (req->oid == lunmark_wire::kOidPrivateCommand) {
        handle_frame(req->buffer, reply, line);
    } else if (req->oid == lunmark_wire::kOidPrivateTrace) {
        handle_trace(req->buffer, reply, line);
    } else {
        answer_not_supported("oid " + hex32(req->oid, 8) + " - -", "unsupported-oid", reply, line);
    }
}

void Adapter::handle_frame(std::span<const std::uint8_t> frame, std::vector<std::uint8_t> &reply,
                           std::string &line) {
    namespace w = lunmark_wire;
    const char *bad = nullptr;
    std::uint32_t ndis = w::kStatusInvalidData;
    if (frame.size() != w::kFrameSize) {
        bad = "wrong-frame-length";
        ndis = w::kStatusInvalidLength;
    } else if (get_u32(frame.data()) != w::kFrameSignature) {
        bad = "wrong-signature";
    } else if (get_u16(frame.data() + 4) != w::kRecordSize) {
        bad = "wrong-payload-length";
    } else if (get_u32(frame.data() + 8) != w::kFrameMagic ||
               get_u32(frame.data() + w::kFrameTrailerOffset) != ~w::kFrameMagic) {
        bad = "wrong-frame-magic";
    }
    if (bad) {
        m_malformed.fetch_add(1);
        line += "bad - - - " + hex32(ndis, 8) + " " + bad;
        w::encode_reply(reply, ndis, {}, ndis == w::kStatusInvalidLength ? w::kFrameSize : 0);
        return;
    }

    const std::uint32_t code = get_u32(frame.data() + w::kFrameRecordOffset);
    const std::string_view name = command_name(code);
    if (code == cmd::kVersion && !m_spec.answers_probe) {
        // This adapter's driver does not know the command: the query fails.
        answer_not_supported("cmd " + hex32(code, 4) + " VERSION read", "probe-ignored", reply, line);
        return;
    }
    if (m_refused.count(code) != 0) {
        answer_not_supported("cmd " + hex32(code, 4) + " " +
                                 (name.empty() ? std::string("?") : std::string(name)) + " -",
                             "refused", reply, line);
        return;
    }

    // Answer in a copy of the whole frame: header and trailer come back as
    // they were sent, the record carries the answer and its status.
    reply.resize(w::kReplyHeaderSize + w::kFrameSize);
    w::put_reply_header(reply.data(), 0, 0, static_cast<std::uint32_t>(w::kFrameSize), 0);
    std::uint8_t *out = reply.data() + w::kReplyHeaderSize;
    std::memcpy(out, frame.data(), w::kFrameSize);
    std::uint8_t *record = out + w::kFrameRecordOffset;

    if (m_target_dirty && !is_write_code(code) && code != cmd::kWepKey)
        evaluate_association();

    bool write = is_write_code(code);
    std::string detail;
    const std::uint32_t st = execute(code, record + w::kRecordDataOffset, write, detail);
    put_u32(record + 4, st);
    line += "cmd " + hex32(code, 4) + " " + (name.empty() ? std::string("?") : std::string(name)) +
            " " + (name.empty() ? "-" : (write ? "write" : "read")) + " " + std::to_string(st);
    if (!detail.empty())
        line += " " + detail;
}

void Adapter::handle_trace(std::span<const std::uint8_t> buffer, std::vector<std::uint8_t> &reply,
                           std::string &line) {
    namespace w = lunmark_wire;
    if (buffer.size() < w::kTraceBlockSize) {
        line += "trace - TRACE read " + hex32(w::kStatusInvalidLength, 8) + " short-buffer";
        w::encode_reply(reply, w::kStatusInvalidLength, {}, w::kTraceBlockSize);
        return;
    }
    if (m_target_dirty)
        evaluate_association();
    std::array<std::uint8_t, w::kTraceBlockSize> block{};
    const int level = m_assoc.up ? current_signal() : RadioEnvironment::kNoiseFloorDbm;
    const std::size_t before = m_trace.queued();
    m_trace.fill_block(std::span<std::uint8_t, w::kTraceBlockSize>(block), level);
    w::encode_reply(reply, 0, block);
    line += "trace - TRACE read 0 messages=" + std::to_string(before - m_trace.queued());
}

// ---------------------------------------------------------------------------
// Time-driven state

void Adapter::run_traffic(std::int64_t until) {
    if (until <= m_traffic_time)
        return;
    if (m_assoc.up) {
        const bool weak = !m_assoc.own_ibss && current_signal() < -80;
        m_counters.run(until - m_traffic_time, m_spec.traffic, !m_assoc.own_ibss, weak);
    }
    m_traffic_time = until;
}

void Adapter::advance(std::int64_t now) {
    if (!m_link_drop_done && m_spec.link_drop_at_ms >= 0 && now >= m_spec.link_drop_at_ms) {
        run_traffic(m_spec.link_drop_at_ms);
        m_link_drop_done = true;
        link_down(trace::kLostDropped);
    }
    if (m_scan.active && now >= m_scan.start + m_spec.scan_time_ms) {
        const std::int64_t end = m_scan.start + m_spec.scan_time_ms;
        m_scan.results = scan_found(end);
        m_scan.active = false;
        m_trace.message(trace::kModScan, trace::kMsgScanDone,
                        static_cast<std::uint32_t>(m_scan.results.size()),
                        static_cast<std::uint32_t>(m_spec.scan_time_ms));
    }
    run_traffic(now);
    if (m_assoc.up && !m_assoc.own_ibss && !m_air.audible(m_assoc.net, now))
        link_down(trace::kLostBeacons);
}

void Adapter::link_down(std::uint32_t reason) {
    if (!m_assoc.up)
        return;
    m_assoc = Association{};
    m_trace.message(trace::kModLink, trace::kMsgLinkLost, reason);
}

int Adapter::current_signal() const {
    if (!m_assoc.up || m_assoc.own_ibss)
        return RadioEnvironment::kNoiseFloorDbm;
    return m_air.signal_at(m_assoc.net, m_clock.now_ms());
}

std::uint32_t Adapter::current_rate() const {
    const bool cck = m_assoc.phy == Phy::B;
    if (m_assoc.own_ibss)
        return cck ? 11000000u : 54000000u;
    const int s = current_signal();
    if (cck) {
        if (s >= -80) return 11000000u;
        if (s >= -84) return 5500000u;
        if (s >= -87) return 2000000u;
        return 1000000u;
    }
    if (s >= -65) return 54000000u;
    if (s >= -68) return 48000000u;
    if (s >= -72) return 36000000u;
    if (s >= -76) return 24000000u;
    if (s >= -79) return 18000000u;
    if (s >= -82) return 12000000u;
    if (s >= -85) return 9000000u;
    return 6000000u;
}

// The association rules: the adapter joins the strongest network of the
// wanted SSID and mode whose security matches (for WEP: the network holds
// the adapter's active key at the same index); an ad hoc SSID nobody runs is
// started on the wanted channel.
void Adapter::evaluate_association() {
    m_target_dirty = false;
    const std::int64_t now = m_clock.now_ms();
    const Target &t = m_target;
    if (t.connect_mode == 0 || t.ssid.empty()) {
        link_down(trace::kLostDropped);
        return;
    }
    const bool adhoc = t.net_mode == 2;
    bool blocked_channel = false, wrong_key = false, wrong_security = false;
    bool best_found = false;
    std::size_t best = 0;
    int best_signal = -1000;
    const WepKey *key =
        t.active_key >= 0 ? &t.keys[static_cast<std::size_t>(t.active_key)] : nullptr;
    for (std::size_t i = 0; i < m_air.size(); ++i) {
        const NetworkSpec &n = m_air.network(i);
        if (n.ssid != t.ssid || n.adhoc != adhoc || !m_air.audible(i, now))
            continue;
        if (!m_domain.allows(n.channel)) {
            blocked_channel = true;
            continue;
        }
        if (t.security == 0 && n.wep) {
            wrong_security = true;
            continue;
        }
        if (t.security != 0) {
            if (t.security != 1 || !n.wep) {
                wrong_security = true;
                continue;
            }
            const auto &nk = n.keys[static_cast<std::size_t>(std::max(t.active_key, 0))];
            if (!key || nk.size() != key->length ||
                !std::equal(nk.begin(), nk.end(), key->bytes.begin())) {
                wrong_key = true;
                continue;
            }
        }
        const int s = m_air.signal_at(i, now);
        if (!best_found || s > best_signal) {
            best_found = true;
            best = i;
            best_signal = s;
        }
    }
    const std::uint32_t reason = wrong_key         ? trace::kFailWrongKey
                                 : wrong_security  ? trace::kFailSecurity
                                 : blocked_channel ? trace::kFailChannel
                                                   : trace::kFailNoNetwork;

    if (best_found) {
        if (m_assoc.up && !m_assoc.own_ibss && m_assoc.net == best)
            return; // already there: nothing changes
        const NetworkSpec &n = m_air.network(best);
        m_trace.message(trace::kModMlme, trace::kMsgJoin, as_unsigned(n.channel));
        run_traffic(now);
        m_assoc = Association{};
        m_assoc.up = true;
        m_assoc.net = best;
        m_assoc.bssid = n.bssid;
        m_assoc.ssid = n.ssid;
        m_assoc.channel = n.channel;
        m_assoc.phy = n.phy;
        m_trace.message(trace::kModMlme, trace::kMsgAssociated, as_unsigned(n.channel),
                        as_unsigned(best_signal));
        return;
    }

    if (adhoc && !wrong_key && !wrong_security) {
        // Nobody runs this ad hoc network here: start it.
        std::uint32_t fail = 0;
        if (!m_domain.allows(t.channel))
            fail = trace::kFailChannel;
        else if (t.security > 1)
            fail = trace::kFailSecurity;
        else if (t.security == 1 && (!key || key->length == 0))
            fail = trace::kFailWrongKey;
        if (fail) {
            link_down(trace::kLostDropped);
            m_trace.message(trace::kModMlme, trace::kMsgAssocFailed, fail);
            return;
        }
        if (m_assoc.up && m_assoc.own_ibss && m_assoc.ssid == t.ssid && m_assoc.channel == t.channel)
            return;
        run_traffic(now);
        m_assoc = Association{};
        m_assoc.up = true;
        m_assoc.own_ibss = true;
        m_assoc.ssid = t.ssid;
        m_assoc.channel = t.channel;
        m_assoc.phy = t.channel > 14 ? Phy::A : (t.phy == 1 ? Phy::B : Phy::G);
        // A locally administered BSSID drawn from the adapter's MAC and the SSID.
        std::uint32_t h = 2166136261u;
        for (char c : t.ssid)
            h = (h ^ static_cast<std::uint8_t>(c)) * 16777619u;
        m_assoc.bssid = {0x02, m_spec.mac[2], m_spec.mac[3],
                         static_cast<std::uint8_t>(m_spec.mac[4] ^ (h >> 8)),
                         static_cast<std::uint8_t>(m_spec.mac[5] ^ h),
                         static_cast<std::uint8_t>(h >> 16)};
        m_trace.message(trace::kModMlme, trace::kMsgIbssStarted, as_unsigned(t.channel));
        return;
    }

    link_down(trace::kLostDropped);
    m_trace.message(trace::kModMlme, trace::kMsgAssocFailed, reason);
}

// ---------------------------------------------------------------------------
// Scan

// Networks found by a scan that started at m_scan.start, up to `until`: the
// channels of the domain are visited in order, each for an equal share of
// the scan time, and a channel's networks are known once its turn ends.
std::vector<Adapter::ScanEntry> Adapter::scan_found(std::int64_t until) const {
    std::vector<ScanEntry> out;
    const auto &chans = m_domain.channels();
    const auto nch = static_cast<std::int64_t>(chans.size());
    for (std::int64_t j = 0; j < nch; ++j) {
        const std::int64_t slot_end = m_scan.start + (j + 1) * m_spec.scan_time_ms / nch;
        if (slot_end > until)
            break;
        for (std::size_t i = 0; i < m_air.size(); ++i)
            if (m_air.network(i).channel == chans[static_cast<std::size_t>(j)] &&
                m_air.audible(i, slot_end))
                out.push_back({i, m_air.signal_at(i, slot_end)});
    }
    return out;
}

void Adapter::write_scan_block(std::uint8_t *data, std::int64_t now) {
    std::memset(data, 0, kDataSize);
    const std::vector<ScanEntry> found = m_scan.active ? scan_found(now) : m_scan.results;
    data[0] = m_scan.active ? 1 : 0;
    std::size_t n_infra = 0, n_adhoc = 0;
    for (const ScanEntry &e : found) {
        const NetworkSpec &n = m_air.network(e.net);
        std::size_t &count = n.adhoc ? n_adhoc : n_infra;
        if (count >= kScanMaxEntries)
            continue;
        std::uint8_t *p = data + (n.adhoc ? kScanAdhocList : kScanInfraList) + count * kScanEntrySize;
        ++count;
        put_u16(p + 0, static_cast<std::uint16_t>(kScanEntrySize));
        std::memcpy(p + 2, n.bssid.data(), 6);
        put_u16(p + 48, 100); // beacon interval in time units
        std::uint16_t caps = n.adhoc ? 0x0002 : 0x0001;
        if (n.wep)
            caps |= 0x0010;
        if (n.phy != Phy::A)
            caps |= 0x0020; // short preamble allowed
        put_u16(p + 50, caps);
        const std::string_view ssid = n.hidden ? std::string_view() : std::string_view(n.ssid);
        p[53] = static_cast<std::uint8_t>(ssid.size());
        if (!ssid.empty())
            std::memcpy(p + 54, ssid.data(), ssid.size());
        put_u32(p + 88, static_cast<std::uint32_t>(n.phy));
        p[96] = static_cast<std::uint8_t>(n.channel);
        p[99] = n.wep ? 1 : 0;
        put_u32(p + 104, as_unsigned(e.signal));
        put_u32(p + 108, as_unsigned(RadioEnvironment::kNoiseFloorDbm));
    }
    data[kScanInfraCount] = static_cast<std::uint8_t>(n_infra);
    data[kScanAdhocCount] = static_cast<std::uint8_t>(n_adhoc);
}

// ---------------------------------------------------------------------------
// Commands

std::uint32_t Adapter::execute(std::uint32_t code, std::uint8_t *d, bool &write,
                               std::string &detail) {
    const std::int64_t now = m_clock.now_ms();
    Target &t = m_target;
    switch (code) {
    case cmd::kVersion:
        for (std::size_t i = 0; i < 4; ++i)
            put_u32(d + 8 + 4 * i, m_spec.driver_version[i]);
        put_u32(d + 32, m_spec.firmware[0]);
        put_u32(d + 36, m_spec.firmware[1]);
        put_u32(d + 148, m_spec.nvm[0]);
        put_u32(d + 0, m_spec.nvm[1]);
        return status::kDone;
    case cmd::kMacRead:
        std::memcpy(d, m_spec.mac.data(), 6);
        return status::kDone;
    case cmd::kMacWrite:
        std::memcpy(m_spec.mac.data(), d, 6);
        detail = format_mac(m_spec.mac);
        return status::kDone;
    case cmd::kBssid:
        if (!m_assoc.up) {
            std::memset(d, 0, 6);
            return status::kNotAssociated;
        }
        std::memcpy(d, m_assoc.bssid.data(), 6);
        return status::kDone;
    case cmd::kSsidRead:
        std::memset(d, 0, 34);
        if (m_assoc.up) {
            d[0] = static_cast<std::uint8_t>(m_assoc.ssid.size());
            std::memcpy(d + 1, m_assoc.ssid.data(), m_assoc.ssid.size());
        }
        return status::kDone;
    case cmd::kSsidWrite: {
        if (d[0] > 32) {
            detail = "length-" + std::to_string(d[0]);
            return status::kRejected;
        }
        std::string s(reinterpret_cast<const char *>(d + 1), d[0]);
        detail = quote_ssid(s);
        if (s != t.ssid) {
            t.ssid = std::move(s);
            mark_target_changed();
        }
        return status::kDone;
    }
    case cmd::kPhyRead:
        put_u32(d, m_assoc.up ? static_cast<std::uint32_t>(m_assoc.phy) : t.phy);
        return status::kDone;
    case cmd::kPhyWrite: {
        const std::uint32_t v = get_u32(d);
        detail = std::to_string(v);
        if (v > 2)
            return status::kRejected;
        t.phy = v;
        return status::kDone;
    }
    case cmd::kSnr:
        if (!m_assoc.up) {
            put_u32(d, 0);
            return status::kNotAssociated;
        }
        put_u32(d, as_unsigned(std::max(0, current_signal() - RadioEnvironment::kNoiseFloorDbm)));
        return status::kDone;
    case cmd::kScanResults:
        write_scan_block(d, now);
        detail = d[0] ? "more" : "done";
        return status::kDone;
    case cmd::kScanStart:
        if (!m_scan.active) {
            m_scan.active = true;
            m_scan.ever = true;
            m_scan.start = now;
            m_trace.message(trace::kModScan, trace::kMsgScanStart,
                            static_cast<std::uint32_t>(m_domain.channels().size()));
            detail = "started";
        } else {
            detail = "busy";
        }
        return status::kDone;
    case cmd::kNetModeRead:
        put_u32(d, t.net_mode);
        return status::kDone;
    case cmd::kNetModeWrite: {
        const std::uint32_t v = get_u32(d);
        detail = std::to_string(v);
        if (v != 1 && v != 2)
            return status::kRejected;
        if (v != t.net_mode) {
            t.net_mode = v;
            mark_target_changed();
        }
        return status::kDone;
    }
    case cmd::kChannelRead:
        std::memset(d, 0, 16);
        put_u32(d, 12);
        if (!m_assoc.up)
            return status::kNotAssociated;
        d[8] = static_cast<std::uint8_t>(m_assoc.channel);
        put_u32(d + 12, t.preamble == 1 && m_assoc.channel <= 14 ? 1 : 0);
        return status::kDone;
    case cmd::kChannelWrite: {
        const int ch = d[8];
        const std::uint32_t pre = get_u32(d + 12) == 1 ? 1 : 0;
        detail = std::to_string(ch) + " " + std::to_string(pre);
        if (!RegDomain::is_known_channel(ch))
            return status::kRejected;
        if (ch != t.channel || pre != t.preamble) {
            t.channel = ch;
            t.preamble = pre;
            mark_target_changed();
        }
        return status::kDone;
    }
    case cmd::kStatistics:
        m_counters.encode(d);
        return status::kDone;
    case cmd::kResetStats:
        m_counters.clear();
        m_trace.message(trace::kModHost, trace::kMsgStatsCleared);
        return status::kDone;
    case cmd::kWepKey: {
        // One code serves both directions: a record holding a usable key
        // (index 0..3, 5 or 13 bytes) or the "no key" record (index 255,
        // length 0) sets; anything else asks for the active key.
        const std::uint8_t idx = d[0], len = d[1];
        if (idx <= 3 && (len == 5 || len == 13)) {
            write = true;
            WepKey k;
            k.length = len;
            std::memcpy(k.bytes.data(), d + 8, len);
            detail = std::to_string(idx) + " " + std::to_string(len);
            const bool same = t.active_key == idx && t.keys[idx].length == len &&
                              std::equal(k.bytes.begin(), k.bytes.begin() + len, t.keys[idx].bytes.begin());
            if (!same) {
                t.keys[idx] = k;
                t.active_key = idx;
                m_trace.message(trace::kModSec, trace::kMsgKeySet, idx, len);
                mark_target_changed();
            }
            return status::kDone;
        }
        if (idx == 0xFF && len == 0) {
            write = true;
            detail = "none";
            if (t.active_key != -1) {
                t.active_key = -1;
                m_trace.message(trace::kModSec, trace::kMsgKeysCleared);
                mark_target_changed();
            }
            return status::kDone;
        }
        if (m_target_dirty)
            evaluate_association();
        std::memset(d, 0, 44);
        if (t.active_key < 0) {
            d[0] = 0xFF;
            return status::kDone;
        }
        const WepKey &k = t.keys[static_cast<std::size_t>(t.active_key)];
        d[0] = static_cast<std::uint8_t>(t.active_key);
        d[1] = k.length;
        put_u32(d + 4, k.length == 5 ? 1 : 2);
        std::memcpy(d + 8, k.bytes.data(), k.length);
        return status::kDone;
    }
    case cmd::kSecurityRead:
        put_u32(d, t.security);
        return status::kDone;
    case cmd::kSecurityWrite: {
        const std::uint32_t v = get_u32(d);
        detail = std::to_string(v);
        if (v > 3)
            return status::kRejected;
        if (v != t.security) {
            t.security = v;
            mark_target_changed();
        }
        return status::kDone;
    }
    case cmd::kConnectModeRead:
        put_u32(d, t.connect_mode);
        return status::kDone;
    case cmd::kConnectModeWrite: {
        const std::uint32_t v = get_u32(d);
        detail = std::to_string(v);
        t.connect_mode = v;
        // Writing the connect mode asks for a (re)connection even when the
        // other settings are unchanged, as after a dropped link.
        mark_target_changed();
        return status::kDone;
    }
    case cmd::kNetRate:
        if (!m_assoc.up) {
            put_u32(d, 0);
            return status::kNotAssociated;
        }
        put_u32(d, current_rate());
        return status::kDone;
    case cmd::kConnected:
        std::memset(d, 0, 4);
        d[0] = m_assoc.up ? 1 : 0;
        detail = m_assoc.up ? "yes" : "no";
        return status::kDone;
    case cmd::kRegDomain:
        put_u32(d, m_spec.reg_domain);
        return status::kDone;
    case cmd::kModemRead:
    case cmd::kModemWrite: {
        const std::uint8_t sel = d[kRegSelector];
        const std::uint32_t addr = get_u32(d + kRegAddress);
        detail = "bank" + std::to_string(sel) + " " + hex32(addr, 4);
        if ((sel != 7 && sel != 9) || !valid_register(addr))
            return status::kRejected;
        auto &bank = sel == 7 ? m_regs7 : m_regs9;
        if (code == cmd::kModemRead) {
            const auto it = bank.find(addr);
            put_u32(d + kRegValue, it == bank.end() ? 0 : it->second);
        } else {
            const std::uint32_t v = get_u32(d + kRegValue);
            bank[addr] = v;
            detail += " " + hex32(v, 8);
            m_trace.message(trace::kModModem, trace::kMsgRegWrite, (std::uint32_t(sel) << 16) | addr, v);
        }
        return status::kDone;
    }
    case cmd::kEepromRead:
    case cmd::kEepromWrite: {
        const std::uint32_t off = get_u32(d + kEepromOffset);
        const std::uint32_t len = get_u32(d + kEepromLength);
        detail = hex32(off, 4) + " " + std::to_string(len);
        if (len > kEepromMax)
            return status::kRejected;
        if (code == cmd::kEepromRead)
            return m_eeprom.read(off, std::span<std::uint8_t>(d, len)) ? status::kDone
                                                                      : status::kRejected;
        if (!m_eeprom.write(off, std::span<const std::uint8_t>(d, len)))
            return status::kRejected;
        m_trace.message(trace::kModHost, trace::kMsgEepromWrite, off, len);
        return status::kDone;
    }
    case cmd::kModemMisc: {
        const std::uint32_t len = get_u32(d + kMiscLength);
        if (len > kMiscMax) {
            detail = "length-" + std::to_string(len);
            return status::kRejected;
        }
        detail = std::to_string(len) + " " + hex_bytes(d, std::min<std::size_t>(len, 64)) +
                 (len > 64 ? "..." : "");
        m_trace.message(trace::kModHost, trace::kMsgMiscMessage, len);
        return status::kDone;
    }
    default:
        write = false;
        return status::kUnknown;
    }
}

} // namespace adapter_sim
