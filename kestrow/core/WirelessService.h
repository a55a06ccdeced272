// Control of the operating system's wireless configuration service: it is
// stopped, with every running service that depends on it, when the program
// starts (so the adapter is configured by this program alone) and started
// again when the main window goes away.
//
// The functions work on a service control manager and a clock that callers
// may pass in; the short forms use the machine's manager, the steady clock
// and standard output.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "platform/Clock.h"
#include "platform/ServiceControl.h"

namespace kestrow {

// Stops the service `name` and its running dependents within one time-out
// of 30 s.  True when the service is stopped at the end (or already was).
// A failure to open the manager or the service prints DisplayError's lines.
bool StopServiceByName(const char *name);
bool StopServiceByName(platform::ServiceControlManager &scm, platform::Clock &clock,
                       std::ostream &out, const char *name);

// Stops `service` (opened with stop, query-status and enumerate-dependents
// rights on `manager`), first its active dependents when `stopDependents`.
// 0 on success, 1460 when `timeoutMs` ran out (one time-out over the whole
// operation), else the error code of the call that failed.
std::uint32_t StopService(platform::ServiceControlManager &scm, platform::Clock &clock,
                          platform::ScHandle manager, platform::ScHandle service,
                          bool stopDependents, std::uint32_t timeoutMs);

// Starts "WZCSVC".  The results of the calls are not examined: always true.
bool StartWirelessService();
bool StartWirelessService(platform::ServiceControlManager &scm);

// Prints "<apiName> failed:", the error code and the system's message text
// for it, on three lines.
void DisplayError(const char *apiName, std::uint32_t code);
void DisplayError(std::ostream &out, const char *apiName, std::uint32_t code);

} // namespace kestrow
