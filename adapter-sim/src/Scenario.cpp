#include "Scenario.h"

#include "RegDomain.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace adapter_sim {

namespace {

struct ParseError {
    int line;
    std::string what;
};

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> split_words(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
            ++i;
        std::size_t j = i;
        while (j < s.size() && !std::isspace(static_cast<unsigned char>(s[j])))
            ++j;
        if (j > i)
            out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

// Strips a comment: '#' outside double quotes starts one.
std::string_view strip_comment(std::string_view s) {
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && quoted) {
            ++i;
            continue;
        }
        if (s[i] == '"')
            quoted = !quoted;
        else if (s[i] == '#' && !quoted)
            return s.substr(0, i);
    }
    return s;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class Parser {
public:
    explicit Parser(const std::string &file) : m_file(file) {}

    Scenario run(std::string_view text) {
        int line_no = 0;
        std::size_t pos = 0;
        while (pos <= text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string_view::npos)
                end = text.size();
            ++line_no;
            line(line_no, text.substr(pos, end - pos));
            pos = end + 1;
        }
        finish_section();
        if (m_sc.adapters.empty()) {
            AdapterSpec a;
            a.name = "sim0";
            a.line = 0;
            m_sc.adapters.push_back(a);
        }
        return m_sc;
    }

private:
    enum class Section { Global, Adapter, Network };

    [[noreturn]] void fail(int line, const std::string &what) { throw ParseError{line, what}; }

    void line(int no, std::string_view raw) {
        std::string_view s = trim(strip_comment(raw));
        if (s.empty())
            return;
        if (s.front() == '[') {
            if (s.back() != ']')
                fail(no, "section header without closing ']'");
            finish_section();
            auto words = split_words(s.substr(1, s.size() - 2));
            if (words.empty())
                fail(no, "empty section header");
            if (words[0] == "adapter") {
                if (words.size() != 2)
                    fail(no, "expected [adapter NAME]");
                start_adapter(no, words[1]);
            } else if (words[0] == "network") {
                if (words.size() != 1)
                    fail(no, "expected [network]");
                m_section = Section::Network;
                m_net = NetworkSpec{};
                m_net.line = no;
                m_has_ssid = m_has_bssid = m_has_channel = m_has_phy = false;
            } else {
                fail(no, "unknown section '" + std::string(words[0]) + "'");
            }
            return;
        }
        const std::size_t eq = s.find('=');
        if (eq == std::string_view::npos)
            fail(no, "expected KEY = VALUE");
        const std::string key(trim(s.substr(0, eq)));
        const std::string_view value = trim(s.substr(eq + 1));
        if (key.empty())
            fail(no, "missing key before '='");
        if (value.empty())
            fail(no, "missing value for '" + key + "'");
        switch (m_section) {
        case Section::Global:
            global_key(no, key, value);
            break;
        case Section::Adapter:
            adapter_key(no, key, value);
            break;
        case Section::Network:
            network_key(no, key, value);
            break;
        }
    }

    void start_adapter(int no, std::string_view name) {
        if (name.size() > 64)
            fail(no, "adapter name longer than 64 characters");
        for (char c : name)
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
                  c == '.' || c == '{' || c == '}'))
                fail(no, "adapter name may hold only letters, digits and - _ . { }");
        if (name.front() == '.')
            fail(no, "adapter name must not start with '.'");
        for (const auto &a : m_sc.adapters)
            if (a.name == name)
                fail(no, "adapter '" + std::string(name) + "' defined twice");
        m_section = Section::Adapter;
        m_sc.adapters.push_back(AdapterSpec{});
        m_sc.adapters.back().name = std::string(name);
        m_sc.adapters.back().line = no;
    }

    void finish_section() {
        if (m_section != Section::Network)
            return;
        m_section = Section::Global;
        const int no = m_net.line;
        if (!m_has_ssid)
            fail(no, "network without ssid");
        if (!m_has_bssid)
            fail(no, "network without bssid");
        if (!m_has_channel)
            fail(no, "network without channel");
        if (!m_has_phy)
            m_net.phy = m_net.channel > 14 ? Phy::A : Phy::G;
        if (m_net.phy == Phy::A && m_net.channel <= 14)
            fail(no, "802.11a network on 2.4 GHz channel " + std::to_string(m_net.channel));
        if (m_net.phy != Phy::A && m_net.channel > 14)
            fail(no, "802.11b/g network on 5 GHz channel " + std::to_string(m_net.channel));
        bool any_key = false;
        for (const auto &k : m_net.keys)
            any_key = any_key || !k.empty();
        if (m_net.wep && !any_key)
            fail(no, "WEP network without wep_key");
        if (!m_net.wep && any_key)
            fail(no, "wep_key given for a network whose security is open");
        for (const auto &n : m_sc.networks)
            if (n.bssid == m_net.bssid)
                fail(no, "BSSID " + format_mac(m_net.bssid) + " already used on line " +
                             std::to_string(n.line));
        m_sc.networks.push_back(m_net);
    }

    std::uint64_t number(int no, std::string_view v, std::uint64_t max) {
        auto n = parse_number(v);
        if (!n || *n > max)
            fail(no, "'" + std::string(v) + "' is not a number from 0 to " + std::to_string(max));
        return *n;
    }

    std::int64_t signed_number(int no, std::string_view v, std::int64_t lo, std::int64_t hi) {
        std::int64_t x = 0;
        auto r = std::from_chars(v.data(), v.data() + v.size(), x);
        if (r.ec != std::errc() || r.ptr != v.data() + v.size() || x < lo || x > hi)
            fail(no, "'" + std::string(v) + "' is not a number from " + std::to_string(lo) +
                         " to " + std::to_string(hi));
        return x;
    }

    bool boolean(int no, std::string_view v) {
        if (v == "yes" || v == "true" || v == "1")
            return true;
        if (v == "no" || v == "false" || v == "0")
            return false;
        fail(no, "expected yes or no, got '" + std::string(v) + "'");
    }

    std::int64_t ms(int no, std::string_view v) {
        return static_cast<std::int64_t>(number(no, v, 1000ull * 3600 * 24 * 365));
    }

    void global_key(int no, const std::string &key, std::string_view v) {
        if (key == "seed")
            m_sc.seed = number(no, v, UINT64_MAX);
        else
            fail(no, "unknown key '" + key + "' outside a section");
    }

    void adapter_key(int no, const std::string &key, std::string_view v) {
        AdapterSpec &a = m_sc.adapters.back();
        if (key == "description") {
            if (v.size() > 200 || v.find('\n') != std::string_view::npos)
                fail(no, "description longer than 200 characters");
            a.description = std::string(v);
        } else if (key == "mac") {
            auto m = parse_mac(v);
            if (!m)
                fail(no, "'" + std::string(v) + "' is not a MAC address like 00:11:22:33:44:55");
            a.mac = *m;
        } else if (key == "reg_domain") {
            a.reg_domain = static_cast<std::uint32_t>(number(no, v, UINT32_MAX));
        } else if (key == "driver_version") {
            auto w = split_version(no, v);
            a.driver_version = w;
        } else if (key == "firmware" || key == "nvm") {
            auto w = split_words(v);
            if (w.size() != 2)
                fail(no, "'" + key + "' needs two numbers");
            auto &dst = key == "firmware" ? a.firmware : a.nvm;
            dst[0] = static_cast<std::uint32_t>(number(no, w[0], UINT32_MAX));
            dst[1] = static_cast<std::uint32_t>(number(no, w[1], UINT32_MAX));
        } else if (key == "eeprom") {
            std::string p(v);
            if (p.front() != '/') {
                const auto slash = m_file.rfind('/');
                if (slash != std::string::npos)
                    p = m_file.substr(0, slash + 1) + p;
            }
            a.eeprom_path = p;
        } else if (key == "eeprom_size") {
            a.eeprom_size = static_cast<std::uint32_t>(number(no, v, 1u << 20));
            if (a.eeprom_size < 64)
                fail(no, "eeprom_size must be at least 64 bytes");
        } else if (key == "answers_probe") {
            a.answers_probe = boolean(no, v);
        } else if (key == "latency") {
            a.latency_ms = static_cast<std::int64_t>(number(no, v, 60000));
        } else if (key == "link_drop_at") {
            a.link_drop_at_ms = ms(no, v);
        } else if (key == "vanish_at") {
            a.vanish_at_ms = ms(no, v);
        } else if (key == "vanish_for") {
            a.vanish_for_ms = ms(no, v);
        } else if (key == "traffic") {
            auto w = split_words(v);
            if (w.size() != 4)
                fail(no, "traffic needs: TX_FRAMES/s RX_FRAMES/s TX_BYTES/frame RX_BYTES/frame");
            a.traffic.tx_pps = static_cast<std::uint32_t>(number(no, w[0], 100000));
            a.traffic.rx_pps = static_cast<std::uint32_t>(number(no, w[1], 100000));
            a.traffic.tx_size = static_cast<std::uint32_t>(number(no, w[2], 2346));
            a.traffic.rx_size = static_cast<std::uint32_t>(number(no, w[3], 2346));
        } else if (key == "counter_start") {
            a.counter_start = static_cast<std::uint32_t>(number(no, v, UINT32_MAX));
        } else if (key == "scan_time") {
            a.scan_time_ms = static_cast<std::int64_t>(number(no, v, 60000));
            if (a.scan_time_ms == 0)
                fail(no, "scan_time must be above 0");
        } else if (key == "reg7" || key == "reg9") {
            auto w = split_words(v);
            if (w.size() != 2)
                fail(no, "'" + key + "' needs: ADDRESS VALUE");
            const auto addr = static_cast<std::uint32_t>(number(no, w[0], 0xFFFC));
            if (addr % 4)
                fail(no, "register address must be a multiple of 4");
            const auto val = static_cast<std::uint32_t>(number(no, w[1], UINT32_MAX));
            (key == "reg7" ? a.reg7 : a.reg9).emplace_back(addr, val);
        } else {
            fail(no, "unknown adapter key '" + key + "'");
        }
    }

    std::array<std::uint32_t, 4> split_version(int no, std::string_view v) {
        std::array<std::uint32_t, 4> out{};
        std::size_t part = 0;
        std::size_t pos = 0;
        while (true) {
            const std::size_t dot = v.find('.', pos);
            const std::string_view p = v.substr(pos, dot == std::string_view::npos ? v.npos : dot - pos);
            if (part >= 4)
                fail(no, "driver_version has more than four parts");
            out[part++] = static_cast<std::uint32_t>(number(no, p, UINT32_MAX));
            if (dot == std::string_view::npos)
                break;
            pos = dot + 1;
        }
        if (part != 4)
            fail(no, "driver_version needs four parts like 2.1.0.17");
        return out;
    }

    void network_key(int no, const std::string &key, std::string_view v) {
        if (key == "ssid") {
            auto s = parse_ssid(v);
            if (!s)
                fail(no, "bad ssid (at most 32 bytes; quote it, escapes \\\\ \\\" \\xNN)");
            m_net.ssid = *s;
            m_has_ssid = true;
        } else if (key == "hidden") {
            m_net.hidden = boolean(no, v);
        } else if (key == "bssid") {
            auto m = parse_mac(v);
            if (!m)
                fail(no, "'" + std::string(v) + "' is not a MAC address like 00:11:22:33:44:55");
            m_net.bssid = *m;
            m_has_bssid = true;
        } else if (key == "channel") {
            m_net.channel = static_cast<int>(number(no, v, 255));
            if (!RegDomain::is_known_channel(m_net.channel))
                fail(no, "channel " + std::string(v) + " is not an 802.11 channel");
            m_has_channel = true;
        } else if (key == "phy") {
            if (v == "a")
                m_net.phy = Phy::A;
            else if (v == "b")
                m_net.phy = Phy::B;
            else if (v == "g")
                m_net.phy = Phy::G;
            else
                fail(no, "phy must be a, b or g");
            m_has_phy = true;
        } else if (key == "mode") {
            if (v == "infrastructure")
                m_net.adhoc = false;
            else if (v == "adhoc")
                m_net.adhoc = true;
            else
                fail(no, "mode must be infrastructure or adhoc");
        } else if (key == "security") {
            if (v == "open")
                m_net.wep = false;
            else if (v == "wep")
                m_net.wep = true;
            else
                fail(no, "security must be open or wep");
        } else if (key == "wep_key") {
            auto w = split_words(v);
            if (w.size() != 2)
                fail(no, "wep_key needs: INDEX HEXDIGITS");
            const auto idx = number(no, w[0], 3);
            if (w[1].size() != 10 && w[1].size() != 26)
                fail(no, "a WEP key has 10 (40-bit) or 26 (104-bit) hexadecimal digits");
            std::vector<std::uint8_t> bytes;
            for (std::size_t i = 0; i < w[1].size(); i += 2) {
                const int hi = hex_value(w[1][i]), lo = hex_value(w[1][i + 1]);
                if (hi < 0 || lo < 0)
                    fail(no, "WEP key holds a character that is not a hexadecimal digit");
                bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
            }
            m_net.keys[idx] = bytes;
        } else if (key == "signal") {
            m_net.signal_dbm = static_cast<int>(signed_number(no, v, -110, -10));
        } else if (key == "drift") {
            m_net.drift_db = static_cast<int>(number(no, v, 20));
        } else if (key == "disappear_at") {
            m_net.disappear_at_ms = ms(no, v);
        } else {
            fail(no, "unknown network key '" + key + "'");
        }
    }

    std::string m_file;
    Scenario m_sc;
    Section m_section = Section::Global;
    NetworkSpec m_net;
    bool m_has_ssid = false, m_has_bssid = false, m_has_channel = false, m_has_phy = false;
};

} // namespace

ScenarioResult parse_scenario(std::string_view text, const std::string &file_name) {
    ScenarioResult r;
    try {
        Parser p(file_name);
        r.scenario = p.run(text);
    } catch (const ParseError &e) {
        r.error = file_name + ":" + std::to_string(e.line) + ": " + e.what;
    }
    return r;
}

ScenarioResult load_scenario(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ScenarioResult r;
        r.error = path + ":0: cannot open the scenario file";
        return r;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        ScenarioResult r;
        r.error = path + ":0: cannot read the scenario file";
        return r;
    }
    return parse_scenario(ss.str(), path);
}

std::optional<MacAddress> parse_mac(std::string_view t) {
    if (t.size() != 17)
        return std::nullopt;
    MacAddress m{};
    for (std::size_t i = 0; i < 6; ++i) {
        const int hi = hex_value(t[i * 3]), lo = hex_value(t[i * 3 + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        if (i < 5 && t[i * 3 + 2] != ':' && t[i * 3 + 2] != '-')
            return std::nullopt;
        m[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return m;
}

std::string format_mac(const MacAddress &mac) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i)
            s += ':';
        s += digits[mac[i] >> 4];
        s += digits[mac[i] & 15];
    }
    return s;
}

std::optional<std::string> parse_ssid(std::string_view t) {
    std::string out;
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') {
        t = t.substr(1, t.size() - 2);
        for (std::size_t i = 0; i < t.size(); ++i) {
            char c = t[i];
            if (c == '"')
                return std::nullopt;
            if (c == '\\') {
                if (++i >= t.size())
                    return std::nullopt;
                if (t[i] == '\\' || t[i] == '"') {
                    c = t[i];
                } else if (t[i] == 'x' && i + 2 < t.size() && hex_value(t[i + 1]) >= 0 &&
                           hex_value(t[i + 2]) >= 0) {
                    c = static_cast<char>(hex_value(t[i + 1]) * 16 + hex_value(t[i + 2]));
                    i += 2;
                } else {
                    return std::nullopt;
                }
            }
            out += c;
        }
    } else {
        if (t.find_first_of("\"\\") != std::string_view::npos)
            return std::nullopt;
        out = std::string(t);
    }
    if (out.size() > 32)
        return std::nullopt;
    return out;
}

std::string quote_ssid(std::string_view ssid) {
    static const char digits[] = "0123456789abcdef";
    std::string s = "\"";
    for (char ch : ssid) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            s += '\\';
            s += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            s += "\\x";
            s += digits[c >> 4];
            s += digits[c & 15];
        } else {
            s += ch;
        }
    }
    return s + "\"";
}

std::optional<std::uint64_t> parse_number(std::string_view t) {
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    }
    if (t.empty())
        return std::nullopt;
    std::uint64_t v = 0;
    auto r = std::from_chars(t.data(), t.data() + t.size(), v, base);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size())
        return std::nullopt;
    return v;
}

} // namespace adapter_sim
