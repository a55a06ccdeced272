#include "DebugLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace kestrow {

namespace {

struct DebugLogState {
    std::mutex lock;
    DebugLogHook hook;
    bool to_stderr = std::getenv("KESTROW_DEBUG") != nullptr;
};

DebugLogState &state()
{
    static DebugLogState s;
    return s;
}

} // namespace

bool DebugLogToStderr()
{
    return state().to_stderr;
}

void DebugWrite(std::string_view text)
{
    DebugLogState &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.to_stderr && !text.empty()) {
        // A failed write to stderr has nowhere to be reported; the trace is
        // only diagnostics.
        (void)std::fwrite(text.data(), 1, text.size(), stderr);
        (void)std::fflush(stderr);
    }
    if (s.hook)
        s.hook(text);
}

void DebugTrace(const char *format, ...)
{
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (needed < 0) {
        va_end(again);
        DebugWrite("\n(debug trace could not be formatted)");
        return;
    }
    if (static_cast<std::size_t>(needed) < sizeof small) {
        va_end(again);
        DebugWrite(std::string_view(small, static_cast<std::size_t>(needed)));
        return;
    }
    std::vector<char> big(static_cast<std::size_t>(needed) + 1);
    const int written = std::vsnprintf(big.data(), big.size(), format, again);
    va_end(again);
    if (written < 0)
        return;
    DebugWrite(std::string_view(big.data(), static_cast<std::size_t>(written)));
}

DebugLogHook SetDebugLogHook(DebugLogHook hook)
{
    DebugLogState &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    DebugLogHook previous = std::move(s.hook);
    s.hook = std::move(hook);
    return previous;
}

} // namespace kestrow
