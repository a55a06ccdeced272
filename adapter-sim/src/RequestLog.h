// The adapter's request log: one text line per request, kept in memory (the
// newest kMaxLines) for the control command "log".  Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace adapter_sim {

class RequestLog {
public:
    static constexpr std::size_t kMaxLines = 20000;

    void add(std::string line);
    // Every kept line, each ending in a newline.
    std::string text() const;
    void clear();
    std::size_t size() const;

private:
    mutable std::mutex m_mutex;
    std::deque<std::string> m_lines;
};

} // namespace adapter_sim
