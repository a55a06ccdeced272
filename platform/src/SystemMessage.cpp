#include "platform/SystemMessage.h"

#include <algorithm>
#include <array>
#include <utility>

namespace platform {
namespace {

struct Entry {
    std::uint32_t code;
    const char *text;
};

// Sorted by code.
constexpr std::array kMessages{
    Entry{0, "The operation completed successfully."},
    Entry{1, "Incorrect function."},
    Entry{2, "The system cannot find the file specified."},
    Entry{3, "The system cannot find the path specified."},
    Entry{4, "The system cannot open the file."},
    Entry{5, "Access is denied."},
    Entry{6, "The handle is invalid."},
    Entry{8, "Not enough memory resources are available to process this command."},
    Entry{13, "The data is invalid."},
    Entry{14, "Not enough storage is available to complete this operation."},
    Entry{29, "The system cannot write to the specified device."},
    Entry{30, "The system cannot read from the specified device."},
    Entry{32, "The process cannot access the file because it is being used by another process."},
    Entry{87, "The parameter is incorrect."},
    Entry{112, "There is not enough space on the disk."},
    Entry{122, "The data area passed to a system call is too small."},
    Entry{123, "The filename, directory name, or volume label syntax is incorrect."},
    Entry{183, "Cannot create a file when that file already exists."},
    Entry{234, "More data is available."},
    Entry{259, "No more data is available."},
    Entry{1009, "The configuration registry database is corrupt."},
    Entry{1010, "The configuration registry key is invalid."},
    Entry{1011, "The configuration registry key could not be opened."},
    Entry{1012, "The configuration registry key could not be read."},
    Entry{1013, "The configuration registry key could not be written."},
    Entry{1015, "The registry is corrupted. The structure of one of the files containing "
                "registry data is corrupted, or the system's memory image of the file is "
                "corrupted, or the file could not be recovered because the alternate copy "
                "or log was absent or corrupted."},
    Entry{1016, "An I/O operation initiated by the registry failed unrecoverably. The "
                "registry could not read in, or write out, or flush, one of the files that "
                "contain the system's image of the registry."},
    Entry{1017, "The system has attempted to load or restore a file into the registry, but "
                "the specified file is not in a registry file format."},
    Entry{1018, "Illegal operation attempted on a registry key that has been marked for "
                "deletion."},
    Entry{1051, "A stop control has been sent to a service that other running services are "
                "dependent on."},
    Entry{1052, "The requested control is not valid for this service."},
    Entry{1053, "The service did not respond to the start or control request in a timely "
                "fashion."},
    Entry{1056, "An instance of the service is already running."},
    Entry{1058, "The service cannot be started, either because it is disabled or because it "
                "has no enabled devices associated with it."},
    Entry{1060, "The specified service does not exist as an installed service."},
    Entry{1061, "The service cannot accept control messages at this time."},
    Entry{1062, "The service has not been started."},
    Entry{1068, "The dependency service or group failed to start."},
    Entry{1072, "The specified service has been marked for deletion."},
    Entry{1300, "Not all privileges or groups referenced are assigned to the caller."},
    Entry{1313, "A specified privilege does not exist."},
    Entry{1314, "A required privilege is not held by the client."},
    Entry{1460, "This operation returned because the timeout period expired."},
};

static_assert(std::is_sorted(kMessages.begin(), kMessages.end(),
                             [](const Entry &a, const Entry &b) { return a.code < b.code; }));

const Entry *lookup(std::uint32_t code)
{
    const auto it = std::lower_bound(kMessages.begin(), kMessages.end(), code,
                                     [](const Entry &e, std::uint32_t c) { return e.code < c; });
    return it != kMessages.end() && it->code == code ? &*it : nullptr;
}

} // namespace

std::string system_message(std::uint32_t code)
{
    if (const Entry *e = lookup(code))
        return e->text;
    return "Unknown error " + std::to_string(code) + ".";
}

bool has_system_message(std::uint32_t code)
{
    return lookup(code) != nullptr;
}

} // namespace platform
