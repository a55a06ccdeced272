// Helpers of the adapter-sim tests: building request messages and command
// frames, and calling an in-process Adapter.  Temporary folders come from
// the shared test support.
#pragma once

#include "Adapter.h"
#include "CommandCodes.h"
#include "TempDir.h"

#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace sim_test {

using ktest::TempDir;

namespace w = lunmark_wire;
inline constexpr std::uint32_t cmd_probe = adapter_sim::cmd::kVersion;
using Bytes = std::vector<std::uint8_t>;

inline Bytes make_frame(std::uint32_t code, const std::function<void(std::uint8_t *)> &fill = {}) {
    Bytes f(w::kFrameSize, 0);
    w::put_u32(f.data(), w::kFrameSignature);
    w::put_u16(f.data() + 4, static_cast<std::uint16_t>(w::kRecordSize));
    w::put_u32(f.data() + 8, w::kFrameMagic);
    w::put_u32(f.data() + w::kFrameTrailerOffset, ~w::kFrameMagic);
    w::put_u32(f.data() + w::kFrameRecordOffset, code);
    if (fill)
        fill(f.data() + w::kFrameRecordOffset + w::kRecordDataOffset);
    return f;
}

inline Bytes make_request(std::uint32_t oid, const Bytes &buffer, std::uint32_t type = 0,
                          std::uint32_t sequence = 0) {
    Bytes m;
    w::encode_request(m, type, oid, buffer, sequence);
    return m;
}

// The answer to one command: transport status, record status and data.
struct Answer {
    std::uint32_t ndis = 0xFFFFFFFFu;
    std::uint32_t written = 0;
    std::uint32_t status = 0;
    Bytes frame; // the whole frame written back
    const std::uint8_t *data() const { return frame.data() + w::kFrameRecordOffset + w::kRecordDataOffset; }
    std::uint32_t u32(std::size_t off) const { return w::get_u32(data() + off); }
};

inline Answer decode_answer(const Bytes &reply) {
    Answer a;
    auto r = w::decode_reply(reply);
    if (!r)
        return a;
    a.ndis = r->status;
    a.written = r->bytes_written;
    a.frame.assign(r->data.begin(), r->data.end());
    if (a.frame.size() == w::kFrameSize)
        a.status = w::get_u32(a.frame.data() + w::kFrameRecordOffset + 4);
    return a;
}

inline Answer exec(adapter_sim::Adapter &ad, std::uint32_t code,
                   const std::function<void(std::uint8_t *)> &fill = {}) {
    Bytes reply;
    ad.handle_message(make_request(w::kOidPrivateCommand, make_frame(code, fill)), reply);
    return decode_answer(reply);
}

inline void put_ssid(std::uint8_t *d, const std::string &s) {
    d[0] = static_cast<std::uint8_t>(s.size());
    std::memcpy(d + 1, s.data(), s.size());
}

// Connects to an adapter socket; -1 when nobody listens there.  A reply
// that does not come within 20 s counts as none.
inline int connect_adapter(const std::string &path) {
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    const timeval limit{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends one message; the reply message, empty when the connection failed.
inline Bytes round_trip(int fd, const Bytes &msg) {
    if (::send(fd, msg.data(), msg.size(), MSG_NOSIGNAL) < 0)
        return {};
    Bytes buf(w::kMaxMessage);
    const ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
    buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return buf;
}

inline std::uint32_t probe_status(int fd) {
    return decode_answer(round_trip(fd, make_request(w::kOidPrivateCommand, make_frame(cmd_probe)))).status;
}

} // namespace sim_test
