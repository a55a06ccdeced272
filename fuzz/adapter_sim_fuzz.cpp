// The simulated adapter's side of the adapter socket: a fresh adapter
// answers a sequence of messages.  Input: chunks of one op byte, a 16-bit
// little-endian length and that many payload bytes.  The op's low six bits
// advance the adapter's clock by that many tenths of a second first; its
// top two bits say what the payload is:
//   0  a whole request message, as received from the socket;
//   1  a command code (32 bits) and the record's command data, sent in a
//      well-formed command frame;
//   2  a trace poll (payload unused);
//   3  the buffer of a command-OID request (frames of any shape).
// Every message gets a well-formed reply, and a well-formed frame comes
// back whole with its header and trailer as sent.
// fuzz-link: adapter_sim_fuzzlib
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include "Adapter.h"
#include "Clock.h"
#include "RadioEnvironment.h"
#include "Scenario.h"

#include "FuzzScenario.h"
#include "FuzzTempDir.h"

namespace {

namespace w = lunmark_wire;
using namespace adapter_sim;

// The shared scenario parses (the seed writer plays it too), or value()
// throws and the run ends at once.
const Scenario &TheScenario()
{
    static const Scenario scenario = parse_scenario(fuzz_support::kScenario, "fuzz.scn").scenario.value();
    return scenario;
}

void Check(const std::vector<std::uint8_t> &message, const std::vector<std::uint8_t> &reply,
           const std::vector<std::uint8_t> &frame)
{
    const auto r = w::decode_reply(reply);
    if (!r || r->bytes_written > w::kMaxBuffer || r->data.size() + w::kReplyHeaderSize != reply.size() ||
        r->sequence != w::request_sequence(message))
        __builtin_trap();
    if (frame.empty())
        return;
    // A well-formed frame: answered whole, framing as sent, the same code.
    if (r->status == 0) {
        if (r->bytes_written != w::kFrameSize ||
            !std::equal(frame.begin(), frame.begin() + w::kFrameRecordOffset + 4, r->data.begin()) ||
            !std::equal(frame.begin() + w::kFrameTrailerOffset, frame.end(),
                        r->data.begin() + w::kFrameTrailerOffset))
            __builtin_trap();
    } else if (r->bytes_written != 0) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Scenario &scenario = TheScenario();
    const std::string dir = fuzz_support::scratch().path();
    std::remove((dir + "/fz0.eeprom").c_str());  // each input starts from a fresh image

    FakeClock clock;
    SimStats stats;
    RadioEnvironment air(scenario.networks, scenario.seed);
    Adapter adapter(scenario.adapters.at(0), air, clock, stats);
    std::string error;
    if (!adapter.open_eeprom(dir, error)) {
        std::fprintf(stderr, "eeprom: %s\n", error.c_str());
        std::abort();
    }

    std::vector<std::uint8_t> message, reply, frame, buffer;
    while (size >= 3) {
        const std::uint8_t op = data[0];
        const std::size_t length = std::min<std::size_t>(data[1] | data[2] << 8, size - 3);
        const std::span<const std::uint8_t> payload(data + 3, length);
        data += 3 + length;
        size -= 3 + length;

        clock.advance(static_cast<std::int64_t>(op & 0x3F) * 100);
        frame.clear();
        switch (op >> 6) {
        case 0:
            message.assign(payload.begin(), payload.end());
            break;
        case 1: {
            frame.assign(w::kFrameSize, 0);
            w::put_u32(frame.data(), w::kFrameSignature);
            w::put_u16(frame.data() + 4, static_cast<std::uint16_t>(w::kRecordSize));
            w::put_u32(frame.data() + 8, w::kFrameMagic);
            const std::size_t body = std::min(payload.size(), w::kRecordSize);
            std::copy_n(payload.begin(), std::min<std::size_t>(body, 4), frame.begin() + w::kFrameRecordOffset);
            if (body > 4)
                std::copy(payload.begin() + 4, payload.begin() + static_cast<std::ptrdiff_t>(body),
                          frame.begin() + w::kFrameRecordOffset + w::kRecordDataOffset);
            w::put_u32(frame.data() + w::kFrameTrailerOffset, ~w::kFrameMagic);
            w::encode_request(message, w::kRequestQuery, w::kOidPrivateCommand, frame);
            break;
        }
        case 2:
            buffer.assign(w::kTraceBlockSize, 0);
            w::encode_request(message, w::kRequestQuery, w::kOidPrivateTrace, buffer);
            break;
        default:
            w::encode_request(message, w::kRequestQuery, w::kOidPrivateCommand, payload);
            break;
        }
        adapter.handle_message(message, reply);
        Check(message, reply, frame);
    }
    if (stats.overlaps.load() != 0 || stats.in_flight.load() != 0)
        __builtin_trap();
    return 0;
}
