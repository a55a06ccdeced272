// TraceTimer: the periodic timer of the trace poller, a thread of the
// library that runs the tick at a fixed period.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

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
    // from a tick itself: that tick cannot be waited for, so it runs to its
    // end (the tick's owner keeps it from doing more) and no other follows.
    // A caller holding the guard's lock cannot overlap a tick anyway.
    void stop();

    bool running() const;
    bool on_timer_thread() const;
    std::uint64_t ticks_run() const;

private:
    // Everything the timer thread uses, shared with it so that a timer
    // destroyed from its own tick leaves the thread valid state to end on.
    struct State;
    class ForkGuard;

    static void run(const std::shared_ptr<State>& state);
    // In the child of a fork: the timer thread is not there, so its state
    // is left behind untouched (never joined, never destroyed; its mutex may
    // be held by a thread that does not exist here) and the timer starts
    // afresh, stopped.
    void forget_thread_after_fork();

    std::shared_ptr<State> state_;
};

} // namespace lunmark
