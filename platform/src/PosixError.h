// Maps errno values of file operations to the Win32 codes callers expect.
#pragma once

#include <cerrno>
#include <cstdint>

#include "platform/Win32Error.h"

namespace platform {

inline std::uint32_t win32_from_errno(int err)
{
    switch (err) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kErrorAccessDenied;
    case EEXIST: return kErrorAlreadyExists;
    case ENOMEM: return kErrorNotEnoughMemory;
    case ENOSPC:
    case EDQUOT: return 112;  // not enough space on the disk
    case ENAMETOOLONG: return 123;  // bad file name syntax
    case EINVAL: return kErrorInvalidParameter;
    default: return kErrorWriteFault;
    }
}

} // namespace platform
