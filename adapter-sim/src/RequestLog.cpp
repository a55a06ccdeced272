#include "RequestLog.h"

namespace adapter_sim {

void RequestLog::add(std::string line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_lines.size() >= kMaxLines)
        m_lines.pop_front();
    m_lines.push_back(std::move(line));
}

std::string RequestLog::text() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string out;
    for (const auto &l : m_lines) {
        out += l;
        out += '\n';
    }
    return out;
}

void RequestLog::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
}

std::size_t RequestLog::size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines.size();
}

} // namespace adapter_sim
