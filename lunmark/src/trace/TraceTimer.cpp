#include "trace/TraceTimer.h"

namespace lunmark {

TraceTimer::TraceTimer(Guard guard) : guard_(std::move(guard)) {}

TraceTimer::~TraceTimer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        active_ = false;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        if (std::this_thread::get_id() == thread_.get_id())
            thread_.detach(); // destroyed from a tick: the thread ends on its own
        else
            thread_.join();
    }
}

void TraceTimer::start(std::uint32_t period_ms, Tick tick)
{
    if (period_ms < kMinPeriodMs)
        period_ms = kMinPeriodMs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tick_ = std::move(tick);
        period_ = std::chrono::milliseconds(period_ms);
        deadline_ = Clock::now() + period_;
        ++generation_;
        active_ = true;
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { run(); });
            thread_id_ = thread_.get_id();
        }
    }
    wake_.notify_all();
}

void TraceTimer::stop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    active_ = false;
    ++generation_;
    wake_.notify_all();
    if (std::this_thread::get_id() == thread_id_)
        return;
    wake_.wait(lock, [this] { return !in_tick_; });
}

bool TraceTimer::running() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return active_;
}

bool TraceTimer::on_timer_thread() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::this_thread::get_id() == thread_id_;
}

std::uint64_t TraceTimer::ticks_run() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ticks_run_;
}

void TraceTimer::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
        if (!active_) {
            wake_.wait(lock, [this] { return quit_ || active_; });
            continue;
        }
        const std::uint64_t generation = generation_;
        // Woken early by start, stop or the end: look at the state again.
        if (wake_.wait_until(lock, deadline_, [&] { return quit_ || generation_ != generation; }))
            continue;

        lock.unlock();
        // The shared lock is taken before the tick is marked as running, so
        // that a stop() holding that lock never waits for a tick that waits
        // for it.
        guard_([&] {
            Tick tick;
            {
                std::lock_guard<std::mutex> inner(mutex_);
                if (quit_ || !active_ || generation_ != generation)
                    return;
                in_tick_ = true;
                tick = tick_;
            }
            try {
                tick();
            } catch (...) {
                // A failed tick must not end the timer or leave it marked busy.
            }
            {
                std::lock_guard<std::mutex> inner(mutex_);
                in_tick_ = false;
                ++ticks_run_;
            }
            wake_.notify_all();
        });
        lock.lock();
        if (generation_ == generation) {
            // Next deadline one period on; a late tick is not caught up on.
            const Clock::time_point now = Clock::now();
            deadline_ += period_;
            if (deadline_ < now)
                deadline_ = now;
        }
    }
}

} // namespace lunmark
