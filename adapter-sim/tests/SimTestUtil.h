// Helpers of the adapter-sim tests: request messages and command frames,
// their answers, an in-process Adapter called directly and a running
// simulator reached over its socket.  Temporary folders, the simulator
// process and scenarios come from the shared test support.
#pragma once

#include "Adapter.h"
#include "CommandCodes.h"
#include "TempDir.h"

#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace sim_test {

namespace w = lunmark_wire;
using Bytes = std::vector<std::uint8_t>;

inline Bytes make_frame(std::uint32_t code) {
    Bytes f(w::kFrameSize, 0);
    w::put_u32(f.data(), w::kFrameSignature);
    w::put_u16(f.data() + 4, static_cast<std::uint16_t>(w::kRecordSize));
    w::put_u32(f.data() + 8, w::kFrameMagic);
    w::put_u32(f.data() + w::kFrameTrailerOffset, ~w::kFrameMagic);
    w::put_u32(f.data() + w::kFrameRecordOffset, code);
    return f;
}

inline Bytes make_request(std::uint32_t oid, const Bytes &buffer, std::uint32_t type = 0,
                          std::uint32_t sequence = 0) {
    Bytes m;
    w::encode_request(m, type, oid, buffer, sequence);
    return m;
}

inline const Bytes kProbe = make_request(w::kOidPrivateCommand, make_frame(adapter_sim::cmd::kVersion));

// The answer to one command: record status (0 when the transport failed)
// and data.
struct Answer {
    std::uint32_t status = 0;
    Bytes frame; // the whole frame written back (empty when not whole)
    const std::uint8_t *data() const { return frame.data() + w::kFrameRecordOffset + w::kRecordDataOffset; }
};

inline Answer decode_answer(const Bytes &reply) {
    Answer a;
    if (const auto r = w::decode_reply(reply); r && r->data.size() == w::kFrameSize) {
        a.frame.assign(r->data.begin(), r->data.end());
        a.status = w::get_u32(a.frame.data() + w::kFrameRecordOffset + 4);
    }
    return a;
}

inline Answer exec(adapter_sim::Adapter &ad, std::uint32_t code) {
    Bytes reply;
    ad.handle_message(make_request(w::kOidPrivateCommand, make_frame(code)), reply);
    return decode_answer(reply);
}

// A connection to an adapter socket; not open when nobody listens there.
// A reply that does not come within 20 s counts as none.
class Connection {
public:
    explicit Connection(const std::string &path) : fd_(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0)) {
        const timeval limit{20, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        open_ = ::connect(fd_, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
    }
    ~Connection() { ::close(fd_); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    bool open() const { return open_; }

    // Sends one message; the reply message, empty when the connection failed.
    Bytes round_trip(const Bytes &msg) {
        if (::send(fd_, msg.data(), msg.size(), MSG_NOSIGNAL) < 0)
            return {};
        Bytes buf(w::kMaxMessage);
        const ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
        buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return buf;
    }
    std::uint32_t probe_status() { return decode_answer(round_trip(kProbe)).status; }

private:
    int fd_;
    bool open_ = false;
};

} // namespace sim_test
