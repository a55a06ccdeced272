#include "WirelessService.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "platform/SystemMessage.h"
#include "platform/Win32Error.h"

namespace kestrow {
namespace {

using platform::ScHandle;
using platform::ServiceControlManager;
using platform::ServiceState;
using platform::ServiceStatus;

constexpr std::uint32_t kStopTimeoutMs = 30000;

// Closes a service handle when it goes out of scope.
class HandleGuard {
public:
    HandleGuard(ServiceControlManager &scm, ScHandle h) : scm_(scm), h_(h) {}
    ~HandleGuard()
    {
        if (h_ != platform::kNullScHandle)
            scm_.close_service_handle(h_);
    }
    HandleGuard(const HandleGuard &) = delete;
    HandleGuard &operator=(const HandleGuard &) = delete;

private:
    ServiceControlManager &scm_;
    ScHandle h_;
};

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

} // namespace

std::uint32_t StopService(ServiceControlManager &scm, platform::Clock &clock, ScHandle manager,
                          ScHandle service, bool stopDependents, std::uint32_t timeoutMs)
{
    const std::uint64_t start = clock.tick_ms();
    const auto elapsed = [&] { return clock.tick_ms() - start; };
    const auto timed_out = [&] { return elapsed() > timeoutMs; };
    // Waits for the service's wait hint, but never beyond the point where the
    // time-out has run out: a service reporting a huge hint must not hold
    // the caller past the one time-out of the operation.
    const auto pause = [&](std::uint32_t wait_hint) {
        const std::uint64_t e = elapsed();
        const std::uint64_t remaining = e <= timeoutMs ? timeoutMs - e + 1 : 1;
        clock.sleep_ms(static_cast<std::uint32_t>(
            std::clamp<std::uint64_t>(wait_hint, 1, remaining)));
    };
    const auto last_error = [] { return ServiceControlManager::last_error(); };

    ServiceStatus ssp;
    if (!scm.query_service_status(service, &ssp))
        return last_error();
    if (ssp.current_state == ServiceState::Stopped)
        return platform::kErrorSuccess;

    // A stop already under way: wait for it.
    while (ssp.current_state == ServiceState::StopPending) {
        pause(ssp.wait_hint);
        if (!scm.query_service_status(service, &ssp))
            return last_error();
        if (ssp.current_state == ServiceState::Stopped)
            return platform::kErrorSuccess;
        if (timed_out())
            return platform::kErrorTimeout;
    }

    if (stopDependents) {
        std::uint32_t needed = 0;
        std::uint32_t count = 0;
        if (!scm.enum_dependent_services(service, platform::kServiceActive, nullptr, 0, &needed,
                                         &count)) {
            if (last_error() != platform::kErrorMoreData)
                return last_error();
            const std::uint32_t size = needed;
            std::unique_ptr<void, FreeDeleter> buffer(std::calloc(1, size));
            if (!buffer)
                return platform::kErrorNotEnoughMemory;
            if (!scm.enum_dependent_services(service, platform::kServiceActive, buffer.get(),
                                             size, &needed, &count))
                return last_error();
            if (std::uint64_t{count} * sizeof(platform::EnumServiceStatus) > size)
                return platform::kErrorInvalidData;
            const auto *deps = static_cast<const platform::EnumServiceStatus *>(buffer.get());
            for (std::uint32_t i = 0; i < count; ++i) {
                if (deps[i].service_name == nullptr)
                    return platform::kErrorInvalidData;
                const ScHandle dep =
                    scm.open_service(manager, deps[i].service_name,
                                     platform::kServiceStop | platform::kServiceQueryStatus);
                if (dep == platform::kNullScHandle)
                    return last_error();
                HandleGuard guard(scm, dep);
                if (!scm.control_service(dep, platform::kServiceControlStop, &ssp))
                    return last_error();
                while (ssp.current_state != ServiceState::Stopped) {
                    pause(ssp.wait_hint);
                    if (!scm.query_service_status(dep, &ssp))
                        return last_error();
                    if (ssp.current_state == ServiceState::Stopped)
                        break;
                    if (timed_out())
                        return platform::kErrorTimeout;
                }
            }
        }
    }

    if (!scm.control_service(service, platform::kServiceControlStop, &ssp))
        return last_error();
    while (ssp.current_state != ServiceState::Stopped) {
        pause(ssp.wait_hint);
        if (!scm.query_service_status(service, &ssp))
            return last_error();
        if (ssp.current_state == ServiceState::Stopped)
            break;
        if (timed_out())
            return platform::kErrorTimeout;
    }
    return platform::kErrorSuccess;
}

bool StopServiceByName(ServiceControlManager &scm, platform::Clock &clock, std::ostream &out,
                       const char *name)
{
    const ScHandle manager = scm.open_sc_manager(platform::kScManagerConnect);
    if (manager == platform::kNullScHandle) {
        DisplayError(out, "OpenSCManager()", ServiceControlManager::last_error());
        return false;
    }
    HandleGuard manager_guard(scm, manager);
    const ScHandle service =
        scm.open_service(manager, name != nullptr ? name : "",
                         platform::kServiceStop | platform::kServiceQueryStatus |
                             platform::kServiceEnumerateDependents);
    if (service == platform::kNullScHandle) {
        DisplayError(out, "OpenService()", ServiceControlManager::last_error());
        return false;
    }
    HandleGuard service_guard(scm, service);
    return StopService(scm, clock, manager, service, true, kStopTimeoutMs) ==
           platform::kErrorSuccess;
}

bool StopServiceByName(const char *name)
{
    return StopServiceByName(platform::local_service_manager(), platform::steady_clock(),
                             std::cout, name);
}

bool StartWirelessService(ServiceControlManager &scm)
{
    const ScHandle manager = scm.open_sc_manager(platform::kScManagerAllAccess);
    HandleGuard manager_guard(scm, manager);
    const ScHandle service = scm.open_service(manager, "WZCSVC", platform::kServiceAllAccess);
    HandleGuard service_guard(scm, service);
    scm.start_service(service);
    return true;
}

bool StartWirelessService()
{
    return StartWirelessService(platform::local_service_manager());
}

void DisplayError(std::ostream &out, const char *apiName, std::uint32_t code)
{
    out << (apiName != nullptr ? apiName : "") << " failed:\n"
        << "    error code = " << code << "\n"
        << "    message    = " << platform::system_message(code) << "\n";
    out.flush();
}

void DisplayError(const char *apiName, std::uint32_t code)
{
    DisplayError(std::cout, apiName, code);
}

} // namespace kestrow
