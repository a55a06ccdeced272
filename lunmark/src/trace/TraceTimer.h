// TraceTimer: the periodic timer of the trace poller, a thread of the
// library that runs the tick at a fixed period.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace lunmark {

class TraceTimer {
public:
    using Clock = std::chrono::steady_clock;
    using Tick = std::function<void()>;
    // Runs `body` while holding the lock that ticks and exports share.
    using Guard = std::function<void(const std::function<void()>& body)>;

    // Periods below this are raised to it, as the system timer did.
    static constexpr std::uint32_t kMinPeriodMs = 10;

    explicit TraceTimer(Guard guard);
    ~TraceTimer();
    TraceTimer(const TraceTimer&) = delete;
    TraceTimer& operator=(const TraceTimer&) = delete;

    // Starts ticking every `period_ms`; a running timer is replaced (its
    // pending tick does not run, the first new tick comes one period later).
    void start(std::uint32_t period_ms, Tick tick);
    // Ends the ticks.  Returns once no tick is running, except when called
    // from a tick itself, which then simply finishes.  A caller holding the
    // guard's lock cannot overlap a tick anyway.
    void stop();

    bool running() const;
    bool on_timer_thread() const;
    std::uint64_t ticks_run() const;

private:
    void run();

    Guard guard_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    std::thread::id thread_id_;
    Tick tick_;
    Clock::duration period_{};
    Clock::time_point deadline_{};
    std::uint64_t generation_ = 0;
    std::uint64_t ticks_run_ = 0;
    bool active_ = false;
    bool in_tick_ = false;
    bool quit_ = false;
};

} // namespace lunmark
