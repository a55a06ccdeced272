// The millisecond tick count and sleep that time-outs are measured with.
//
// Code that waits for something (a service to stop, a simulated service to
// finish stopping) takes a Clock so tests can run it against a FakeClock: a
// sleep there advances the fake time at once instead of waiting.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes backwards.  64 bits,
    // so elapsed times never wrap as a 32-bit tick count does after 49 days.
    virtual std::uint64_t tick_ms() = 0;
    virtual void sleep_ms(std::uint32_t ms) = 0;
};

// The monotonic clock of the system.
class SteadyClock final : public Clock {
public:
    std::uint64_t tick_ms() override;
    void sleep_ms(std::uint32_t ms) override;
};

// The process-wide steady clock.
Clock &steady_clock();

// A clock that stands still until it is advanced; sleeping advances it by
// the time slept.  Safe to use from several threads.
class FakeClock final : public Clock {
public:
    explicit FakeClock(std::uint64_t start_ms = 0) : now_(start_ms) {}
    std::uint64_t tick_ms() override { return now_.load(); }
    void sleep_ms(std::uint32_t ms) override;
    void advance(std::uint64_t ms) { now_.fetch_add(ms); }
    // Total time spent in sleep_ms() and the number of calls.
    std::uint64_t slept_ms() const { return slept_.load(); }
    std::uint64_t sleeps() const { return sleeps_.load(); }

private:
    std::atomic<std::uint64_t> now_;
    std::atomic<std::uint64_t> slept_{0};
    std::atomic<std::uint64_t> sleeps_{0};
};

} // namespace platform
