// The time source of the adapter engine.  Everything the engine does over
// time (scan progress, signal drift, traffic, scheduled faults, reply
// latency) reads this clock, so tests drive it by hand and never sleep.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace adapter_sim {

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds since an arbitrary fixed start; never goes backwards.
    virtual std::int64_t now_ms() const = 0;
    // Waits `ms` milliseconds of this clock's time.
    virtual void sleep_ms(std::int64_t ms) = 0;
};

class SystemClock final : public IClock {
public:
    SystemClock() : m_start(std::chrono::steady_clock::now()) {}
    std::int64_t now_ms() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - m_start)
            .count();
    }
    void sleep_ms(std::int64_t ms) override {
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

// A clock that moves only when told to; sleeping advances it at once.
class FakeClock final : public IClock {
public:
    std::int64_t now_ms() const override { return m_now.load(); }
    void sleep_ms(std::int64_t ms) override {
        if (ms > 0)
            m_now.fetch_add(ms);
    }
    void advance(std::int64_t ms) { sleep_ms(ms); }
    void set(std::int64_t ms) { m_now.store(ms); }

private:
    std::atomic<std::int64_t> m_now{0};
};

} // namespace adapter_sim
