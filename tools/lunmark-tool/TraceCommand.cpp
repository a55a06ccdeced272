// "lunmark-tool trace": runs the library's trace poller and prints each
// decoded firmware line and a summary of each modem block.
#include "TraceCommand.h"

#include <lunmark/lunmark.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <pthread.h>

namespace {

constexpr const char* kTraceUsage =
    "usage: lunmark-tool trace [--seconds N] [--period MS] [--adapter NAME]\n"
    "Prints each decoded firmware line and a line per modem block until N\n"
    "seconds have passed (default: until interrupted) or SIGINT/SIGTERM.\n"
    "Without --adapter the first adapter that answers the probe is used.\n";

std::atomic<std::uint64_t> g_messages{0};
std::atomic<std::uint64_t> g_blocks{0};

// UTF-16 code units to UTF-8.
std::string to_utf8(const std::uint16_t* units, std::uint32_t count)
{
    std::string out;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
            ++i;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

void on_firmware_message(std::uint8_t, std::uint8_t, std::uint16_t, std::uint32_t, std::uint32_t,
                         std::uint32_t, std::uint32_t)
{
    ++g_messages;
}

void on_firmware_line(lunmark_bstr* line)
{
    if (line == nullptr || *line == nullptr)
        return;
    const std::string text = to_utf8(*line, lunmark_bstr_len(*line));
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void print_block(int stream, std::uint16_t block_id, std::uint32_t byte_count)
{
    ++g_blocks;
    std::printf("modem %d block %u (0x%04x): %u words\n", stream, static_cast<unsigned>(block_id),
                static_cast<unsigned>(block_id), static_cast<unsigned>(byte_count / 4));
    std::fflush(stdout);
}

void on_modem_1(std::uint16_t block_id, std::uint32_t byte_count) { print_block(1, block_id, byte_count); }
void on_modem_2(std::uint16_t block_id, std::uint32_t byte_count) { print_block(2, block_id, byte_count); }

void on_connect()
{
    std::fprintf(stderr, "lunmark-tool: trace link up\n");
}

void on_disconnect(std::uint32_t reason)
{
    std::fprintf(stderr, "lunmark-tool: trace link lost (%u)\n", static_cast<unsigned>(reason));
}

bool parse_number(const std::string& text, unsigned long max, unsigned long& out)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || v > max)
        return false;
    out = static_cast<unsigned long>(v);
    return true;
}

int usage(const std::string& message)
{
    std::fprintf(stderr, "lunmark-tool: %s\n%s", message.c_str(), kTraceUsage);
    return 2;
}

} // namespace

int run_trace_command(int argc, char** argv)
{
    unsigned long seconds = 0; // 0: until interrupted
    unsigned long period = 100;
    std::string adapter;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--seconds") {
            if (!has_value || !parse_number(argv[++i], 86400UL * 365, seconds))
                return usage("--seconds needs a whole number of seconds");
        } else if (a == "--period") {
            if (!has_value || !parse_number(argv[++i], 60000, period) || period == 0)
                return usage("--period needs a number of milliseconds from 1 to 60000");
        } else if (a == "--adapter") {
            if (!has_value || argv[i + 1][0] == '\0')
                return usage("--adapter needs a NAME");
            adapter = argv[++i];
        } else if (a == "--help" || a == "-h") {
            std::printf("%s", kTraceUsage);
            return 0;
        } else {
            return usage("unknown trace argument \"" + a + "\"");
        }
    }

    // SIGINT and SIGTERM are taken with sigtimedwait below; blocking them
    // first keeps them from the library's timer thread, which inherits the
    // mask when the trace starts.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr) != 0) {
        std::fprintf(stderr, "lunmark-tool: cannot block the stop signals\n");
        return 1;
    }

    if (ecom_connect(adapter.empty() ? "SEARCH" : adapter.c_str()) != LUNMARK_OK)
        std::fprintf(stderr, "lunmark-tool: %s; the trace keeps searching\n",
                     adapter.empty() ? "no adapter answers the probe"
                                     : ("cannot open adapter " + adapter).c_str());

    std::vector<std::uint32_t> output(LUNMARK_TRACE_MAX_BLOCK_WORDS);
    ecom_register_notify_connect_cb(on_connect);
    ecom_register_notify_disconnect_cb(on_disconnect);
    ecom_trace_register_firmware_debug_cb(on_firmware_message);
    ecom_trace_register_firmware_str_debug_cb(on_firmware_line);
    ecom_trace_register_modem_1_cb(on_modem_1);
    ecom_trace_register_modem_2_cb(on_modem_2);
    ecom_trace_start_ex(output.data(), static_cast<std::uint32_t>(output.size()),
                        static_cast<std::uint32_t>(period));

    int rc = 0;
    if (seconds == 0) {
        int sig = 0;
        if (sigwait(&stop_signals, &sig) != 0)
            rc = 1;
    } else {
        timespec deadline{};
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += static_cast<time_t>(seconds);
        for (;;) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            if (now.tv_sec > deadline.tv_sec ||
                (now.tv_sec == deadline.tv_sec && now.tv_nsec >= deadline.tv_nsec))
                break;
            timespec left{deadline.tv_sec - now.tv_sec, deadline.tv_nsec - now.tv_nsec};
            if (left.tv_nsec < 0) {
                left.tv_nsec += 1000000000L;
                --left.tv_sec;
            }
            const int got = sigtimedwait(&stop_signals, nullptr, &left);
            if (got == SIGINT || got == SIGTERM)
                break;
            if (got < 0 && errno != EAGAIN && errno != EINTR) {
                rc = 1;
                break;
            }
        }
    }

    ecom_trace_stop();
    ecom_trace_register_firmware_debug_cb(nullptr);
    ecom_trace_register_firmware_str_debug_cb(nullptr);
    ecom_trace_register_modem_1_cb(nullptr);
    ecom_trace_register_modem_2_cb(nullptr);
    ecom_register_notify_connect_cb(nullptr);
    ecom_register_notify_disconnect_cb(nullptr);
    ecom_disconnect();
    std::printf("trace: %llu firmware messages, %llu modem blocks\n",
                static_cast<unsigned long long>(g_messages.load()),
                static_cast<unsigned long long>(g_blocks.load()));
    return rc;
}
