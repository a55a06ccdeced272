// The table that maps adapter handles to open connections.
#pragma once

#include "Connection.h"

#include <lunmark100/lunmark100.h>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace lunmark100 {

class HandleTable {
public:
    // The process's table; never destroyed, so handles stay usable while
    // the process exits.
    static HandleTable &instance();

    // A new handle for `connection`, or W32N_INVALID_HANDLE when the table
    // is full.  Handles are small non-negative integers, not reused until
    // the counter wraps.
    w32n_handle add(std::shared_ptr<Connection> connection);
    std::shared_ptr<Connection> find(w32n_handle handle) const;
    // Removes the handle; returns its connection (null when unknown).
    std::shared_ptr<Connection> remove(w32n_handle handle);

    static constexpr std::size_t kMaxOpen = 4096;

private:
    mutable std::mutex mutex_;
    std::unordered_map<w32n_handle, std::shared_ptr<Connection>> connections_;
    w32n_handle next_ = 0;
};

} // namespace lunmark100
