#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {

std::uint64_t SteadyClock::tick_ms()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SteadyClock::sleep_ms(std::uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Clock &steady_clock()
{
    static SteadyClock clock;
    return clock;
}

void FakeClock::sleep_ms(std::uint32_t ms)
{
    sleeps_.fetch_add(1);
    slept_.fetch_add(ms);
    now_.fetch_add(ms);
}

} // namespace platform
