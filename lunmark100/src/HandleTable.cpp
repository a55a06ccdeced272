#include "HandleTable.h"

#include <cstdint>
#include <limits>

namespace lunmark100 {

HandleTable &HandleTable::instance() {
    static HandleTable *table = new HandleTable;
    return *table;
}

w32n_handle HandleTable::add(std::shared_ptr<Connection> connection) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (connections_.size() >= kMaxOpen)
        return W32N_INVALID_HANDLE;
    for (;;) {
        const w32n_handle h = next_;
        next_ = next_ == std::numeric_limits<w32n_handle>::max() ? 0 : next_ + 1;
        if (connections_.find(h) == connections_.end()) {
            connections_.emplace(h, std::move(connection));
            return h;
        }
    }
}

std::shared_ptr<Connection> HandleTable::find(w32n_handle handle) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto it = connections_.find(handle);
    return it == connections_.end() ? nullptr : it->second;
}

std::shared_ptr<Connection> HandleTable::remove(w32n_handle handle) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto it = connections_.find(handle);
    if (it == connections_.end())
        return nullptr;
    std::shared_ptr<Connection> c = std::move(it->second);
    connections_.erase(it);
    return c;
}

} // namespace lunmark100
