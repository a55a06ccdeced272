// Win32 error codes that the platform stand-ins return and the program can
// meet.  Results travel as these codes, as they did on the original system,
// so the program's messages and checks keep their meaning.
#pragma once

#include <cstdint>

namespace platform {

enum Win32Error : std::uint32_t {
    kErrorSuccess = 0,
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorNotEnoughMemory = 8,
    kErrorInvalidData = 13,
    kErrorWriteFault = 29,
    kErrorReadFault = 30,
    kErrorInvalidParameter = 87,
    kErrorAlreadyExists = 183,
    kErrorMoreData = 234,
    kErrorNoMoreItems = 259,
    kErrorBadDb = 1009,
    kErrorBadKey = 1010,
    kErrorCantOpen = 1011,
    kErrorCantRead = 1012,
    kErrorCantWrite = 1013,
    kErrorRegistryCorrupt = 1015,
    kErrorRegistryIoFailed = 1016,
    kErrorNotRegistryFile = 1017,
    kErrorKeyDeleted = 1018,
    kErrorDependentServicesRunning = 1051,
    kErrorServiceRequestTimeout = 1053,
    kErrorServiceDoesNotExist = 1060,
    kErrorServiceCannotAcceptCtrl = 1061,
    kErrorServiceNotActive = 1062,
    kErrorServiceAlreadyRunning = 1056,
    kErrorNotAllAssigned = 1300,
    kErrorNoSuchPrivilege = 1313,
    kErrorPrivilegeNotHeld = 1314,
    kErrorTimeout = 1460,
};

} // namespace platform
