// Time the adapter engine needs to answer one request message, in process:
// a small read (0x30), the full scan result block (0x190), the traffic
// counters while connected (0x370) and a trace poll.
#include "Adapter.h"
#include "CommandCodes.h"
#include "Scenario.h"

#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include <benchmark/benchmark.h>

#include <memory>

using namespace adapter_sim;
namespace w = lunmark_wire;

namespace {

struct Bench {
    FakeClock clock;
    SimStats stats;
    Scenario sc;
    std::unique_ptr<RadioEnvironment> air;
    std::unique_ptr<Adapter> adapter;

    Bench() {
        std::string text = "[adapter b]\n";
        for (int i = 0; i < 14; ++i)
            text += "[network]\nssid = Net" + std::to_string(i) + "\nbssid = 00:00:00:00:00:" +
                    std::to_string(10 + i) + "\nchannel = " + std::to_string(1 + i % 11) + "\n";
        sc = *parse_scenario(text, "bench.scn").scenario;
        air = std::make_unique<RadioEnvironment>(sc.networks, 1);
        adapter = std::make_unique<Adapter>(sc.adapters[0], *air, clock, stats);
    }

    std::vector<std::uint8_t> frame(std::uint32_t code, const std::string &ssid = {}) {
        std::vector<std::uint8_t> f(w::kFrameSize, 0);
        w::put_u32(f.data(), w::kFrameSignature);
        w::put_u16(f.data() + 4, static_cast<std::uint16_t>(w::kRecordSize));
        w::put_u32(f.data() + 8, w::kFrameMagic);
        w::put_u32(f.data() + w::kFrameTrailerOffset, ~w::kFrameMagic);
        w::put_u32(f.data() + 12, code);
        if (!ssid.empty()) {
            f[20] = static_cast<std::uint8_t>(ssid.size());
            std::copy(ssid.begin(), ssid.end(), f.begin() + 21);
        }
        std::vector<std::uint8_t> msg;
        w::encode_request(msg, 0, w::kOidPrivateCommand, f);
        return msg;
    }
};

void run(benchmark::State &state, const std::vector<std::uint8_t> &msg, Bench &b) {
    std::vector<std::uint8_t> reply;
    for (auto _ : state) {
        b.adapter->handle_message(msg, reply);
        benchmark::DoNotOptimize(reply.data());
        b.clock.advance(1);
    }
}

void BM_SmallRead(benchmark::State &state) {
    Bench b;
    run(state, b.frame(cmd::kMacRead), b);
}

void BM_ScanResults(benchmark::State &state) {
    Bench b;
    std::vector<std::uint8_t> reply;
    b.adapter->handle_message(b.frame(cmd::kScanStart), reply);
    b.clock.advance(3000);
    run(state, b.frame(cmd::kScanResults), b);
}

void BM_CountersConnected(benchmark::State &state) {
    Bench b;
    std::vector<std::uint8_t> reply;
    b.adapter->handle_message(b.frame(cmd::kSsidWrite, "Net3"), reply);
    run(state, b.frame(cmd::kStatistics), b);
}

void BM_TracePoll(benchmark::State &state) {
    Bench b;
    std::vector<std::uint8_t> msg;
    w::encode_request(msg, 0, w::kOidPrivateTrace, std::vector<std::uint8_t>(w::kTraceBlockSize));
    run(state, msg, b);
}

} // namespace

BENCHMARK(BM_SmallRead);
BENCHMARK(BM_ScanResults);
BENCHMARK(BM_CountersConnected);
BENCHMARK(BM_TracePoll);
BENCHMARK_MAIN();
