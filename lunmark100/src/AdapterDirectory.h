// The adapter directory: one SOCK_SEQPACKET socket per installed adapter.
#pragma once

#include <lunmark100/lunmark100.h>

#include <string>
#include <string_view>
#include <vector>

namespace lunmark100 {

class AdapterDirectory {
public:
    // The installed adapters in byte-wise ascending order of device name,
    // each with its optional "<name>.desc" description.  Empty when the
    // directory is missing or unreadable.
    static std::vector<w32n_adapter_record> scan();
    // Full path of the socket of adapter `name`, or empty when `name` is
    // not a plain file name that fits a record and a socket address.
    static std::string socket_path(std::string_view name);
};

} // namespace lunmark100
