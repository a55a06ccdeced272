// fault-lockhammer: several threads of one process send requests through
// the device library for a given time, so that the fault test can run two
// such processes at once against one simulator and check that the library
// lock keeps every request apart, across threads and processes.
//
//   fault-lockhammer MILLISECONDS THREADS
//   fault-lockhammer hold
//   fault-lockhammer open
//
// Prints "connected" once the adapter is open, then at the end
// "done requests=N failed=M".  Exit code 0 when every request succeeded and
// every thread sent at least one; 1 otherwise; 2 on bad arguments.
// With "hold" it opens the adapter from the trace poller's first tick,
// whose connect callback prints "holding" and never returns: the process
// holds the library lock until it is killed.
// With "open" it looks for an adapter (which takes the library lock,
// creating its file when missing), prints "opened" and ends.  With
// FAULT_PAUSE_AFTER_PLACING=MS in its environment, a link() the library
// makes returns only MS milliseconds later: were a new lock file linked into
// place, other processes would meet it before its creator is done with it.
#include <lunmark/lunmark.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <stdio.h>
#include <unistd.h>

namespace {

// Read of the connection state: a small request every adapter answers.
constexpr std::uint32_t kConnectedState = 0x590;

// Runs on the trace poller's tick, which holds the library lock.
void HoldForever()
{
    std::printf("holding\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}

} // namespace

// Stands in for the C library's: calls it, then pauses for
// FAULT_PAUSE_AFTER_PLACING milliseconds when that is set.
extern "C" int link(const char *from, const char *to) noexcept
{
    static const auto real = reinterpret_cast<int (*)(const char *, const char *)>(::dlsym(RTLD_NEXT, "link"));
    const int rc = real(from, to);
    const int saved = errno;
    if (const char *ms = std::getenv("FAULT_PAUSE_AFTER_PLACING"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(ms)));
    errno = saved;
    return rc;
}

int main(int argc, char **argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "hold") {
        static std::uint32_t trace[LUNMARK_TRACE_MAX_BLOCK_WORDS];
        ecom_register_notify_connect_cb(HoldForever);
        ecom_trace_start(trace, 10);
        for (;;)
            ::pause();
    }
    if (argc == 2 && std::string_view(argv[1]) == "open") {
        (void)ecom_connect("SEARCH");
        std::printf("opened\n");
        return 0;
    }
    const long milliseconds = argc == 3 ? std::atol(argv[1]) : 0;
    const long threads = argc == 3 ? std::atol(argv[2]) : 0;
    if (milliseconds < 1 || milliseconds > 24L * 3600 * 1000 || threads < 1 || threads > 64) {
        std::fputs("usage: fault-lockhammer MILLISECONDS THREADS\n", stderr);
        return 2;
    }
    if (ecom_connect("SEARCH") != LUNMARK_OK) {
        std::fputs("fault-lockhammer: no adapter could be opened\n", stderr);
        return 1;
    }
    std::printf("connected\n");
    std::fflush(stdout);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::atomic<std::uint64_t> requests{0};
    std::atomic<std::uint64_t> failed{0};
    std::atomic<int> idleThreads{0};
    std::vector<std::thread> pool;
    for (long t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            std::uint64_t mine = 0;
            while (std::chrono::steady_clock::now() < deadline) {
                std::uint32_t record[LUNMARK_RECORD_SIZE / 4] = {kConnectedState};
                if (ecom_exec_oid(record) != LUNMARK_OK)
                    failed.fetch_add(1);
                ++mine;
            }
            requests.fetch_add(mine);
            if (mine == 0)
                idleThreads.fetch_add(1);
        });
    }
    for (std::thread &t : pool)
        t.join();
    (void)ecom_disconnect();
    std::printf("done requests=%llu failed=%llu\n", static_cast<unsigned long long>(requests.load()),
                static_cast<unsigned long long>(failed.load()));
    std::fflush(stdout);
    return failed.load() == 0 && idleThreads.load() == 0 ? 0 : 1;
}
