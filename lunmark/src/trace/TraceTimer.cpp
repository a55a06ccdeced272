#include "trace/TraceTimer.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <pthread.h>

namespace lunmark {

struct TraceTimer::State {
    explicit State(Guard g) : guard(std::move(g)) {}

    const Guard guard;
    std::mutex mutex;
    std::condition_variable wake;
    std::thread thread;
    std::thread::id thread_id;
    Tick tick;
    Clock::duration period{};
    Clock::time_point deadline{};
    std::uint64_t generation = 0;
    std::uint64_t ticks_run = 0;
    bool active = false;
    bool in_tick = false;
    bool quit = false;
};

// The live timers, so that a fork child can make each forget its thread.
// Created once and never destroyed: a fork may come while the process
// exits.
class TraceTimer::ForkGuard {
public:
    static ForkGuard& instance()
    {
        static ForkGuard* guard = new ForkGuard;
        return *guard;
    }

    void add(TraceTimer* timer)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        timers_.push_back(timer);
    }
    void remove(TraceTimer* timer)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase(timers_, timer);
    }

    // States of timers left behind in a fork child; kept reachable so that
    // they are neither destroyed nor counted as leaked.
    std::vector<std::shared_ptr<State>> abandoned;

private:
    ForkGuard()
    {
        // No timer is added or removed while a fork copies the list.
        ::pthread_atfork([] { instance().mutex_.lock(); }, [] { instance().mutex_.unlock(); },
                         [] {
                             ForkGuard& self = instance();
                             for (TraceTimer* timer : self.timers_)
                                 timer->forget_thread_after_fork();
                             self.mutex_.unlock();
                         });
    }

    std::mutex mutex_;
    std::vector<TraceTimer*> timers_;
};

TraceTimer::TraceTimer(Guard guard) : state_(std::make_shared<State>(std::move(guard)))
{
    ForkGuard::instance().add(this);
}

TraceTimer::~TraceTimer()
{
    ForkGuard::instance().remove(this);
    State& s = *state_;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.quit = true;
        s.active = false;
    }
    s.wake.notify_all();
    if (s.thread.joinable()) {
        if (std::this_thread::get_id() == s.thread.get_id())
            s.thread.detach(); // destroyed from a tick: the thread ends on its own
        else
            s.thread.join();
    }
}

void TraceTimer::forget_thread_after_fork()
{
    // Only the forking thread runs in the child, so nothing else sees this.
    auto& abandoned = ForkGuard::instance().abandoned;
    abandoned.push_back(std::move(state_));
    state_ = std::make_shared<State>(abandoned.back()->guard);
}

void TraceTimer::start(std::uint32_t period_ms, Tick tick)
{
    if (period_ms < kMinPeriodMs)
        period_ms = kMinPeriodMs;
    State& s = *state_;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.tick = std::move(tick);
        s.period = std::chrono::milliseconds(period_ms);
        s.deadline = Clock::now() + s.period;
        ++s.generation;
        s.active = true;
        if (!s.thread.joinable()) {
            s.thread = std::thread([state = state_] { run(state); });
            s.thread_id = s.thread.get_id();
        }
    }
    s.wake.notify_all();
}

void TraceTimer::stop()
{
    State& s = *state_;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.active = false;
    ++s.generation;
    s.wake.notify_all();
    if (std::this_thread::get_id() == s.thread_id)
        return;
    s.wake.wait(lock, [&s] { return !s.in_tick; });
}

bool TraceTimer::running() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->active;
}

bool TraceTimer::on_timer_thread() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return std::this_thread::get_id() == state_->thread_id;
}

std::uint64_t TraceTimer::ticks_run() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->ticks_run;
}

void TraceTimer::run(const std::shared_ptr<State>& state)
{
    State& s = *state;
    std::unique_lock<std::mutex> lock(s.mutex);
    while (!s.quit) {
        if (!s.active) {
            s.wake.wait(lock, [&s] { return s.quit || s.active; });
            continue;
        }
        const std::uint64_t generation = s.generation;
        // Woken early by start, stop or the end: look at the state again.
        if (s.wake.wait_until(lock, s.deadline, [&] { return s.quit || s.generation != generation; }))
            continue;

        lock.unlock();
        // The shared lock is taken before the tick is marked as running, so
        // that a stop() holding that lock never waits for a tick that waits
        // for it.
        s.guard([&] {
            Tick tick;
            {
                std::lock_guard<std::mutex> inner(s.mutex);
                if (s.quit || !s.active || s.generation != generation)
                    return;
                s.in_tick = true;
                tick = s.tick;
            }
            try {
                tick();
            } catch (...) {
                // A failed tick must not end the timer or leave it marked busy.
            }
            {
                std::lock_guard<std::mutex> inner(s.mutex);
                s.in_tick = false;
                ++s.ticks_run;
            }
            s.wake.notify_all();
        });
        lock.lock();
        if (s.generation == generation) {
            // Next deadline one period on; a late tick is not caught up on.
            const Clock::time_point now = Clock::now();
            s.deadline += s.period;
            if (s.deadline < now)
                s.deadline = now;
        }
    }
}

} // namespace lunmark
