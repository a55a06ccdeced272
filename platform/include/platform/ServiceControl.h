// The service control manager calls that stopping and starting a service
// needs, shaped as the Win32 calls are: handles, access rights, a status
// with state and wait hint, a per-thread last error, and the two-call
// protocol of enumerating dependents (a first call that fails with 234 and
// says how many bytes it needs).
//
// On Linux a simulated service table (SimulatedServiceManager) implements
// the interface; local_service_manager() is the table the program uses.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace platform {

// An open manager or service; 0 is the null handle.
using ScHandle = std::uint32_t;
inline constexpr ScHandle kNullScHandle = 0;

// Access rights.
inline constexpr std::uint32_t kScManagerConnect = 0x0001;
inline constexpr std::uint32_t kScManagerEnumerateService = 0x0004;
inline constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
inline constexpr std::uint32_t kServiceQueryStatus = 0x0004;
inline constexpr std::uint32_t kServiceEnumerateDependents = 0x0008;
inline constexpr std::uint32_t kServiceStart = 0x0010;
inline constexpr std::uint32_t kServiceStop = 0x0020;
inline constexpr std::uint32_t kServiceAllAccess = 0xF01FF;

// Controls and enumeration filters.
inline constexpr std::uint32_t kServiceControlStop = 1;
inline constexpr std::uint32_t kServiceActive = 1;
inline constexpr std::uint32_t kServiceInactive = 2;
inline constexpr std::uint32_t kServiceStateAll = 3;

enum class ServiceState : std::uint32_t {
    Stopped = 1,
    StartPending = 2,
    StopPending = 3,
    Running = 4,
    ContinuePending = 5,
    PausePending = 6,
    Paused = 7,
};

struct ServiceStatus {
    std::uint32_t service_type = 0x10;  // own process
    ServiceState current_state = ServiceState::Stopped;
    std::uint32_t controls_accepted = 0;
    std::uint32_t win32_exit_code = 0;
    std::uint32_t service_specific_exit_code = 0;
    std::uint32_t check_point = 0;
    std::uint32_t wait_hint = 0;  // ms the next state change may take
};

// One entry of the dependents buffer.  The names point into the same
// buffer, behind the array of entries, as on Windows.
struct EnumServiceStatus {
    const char *service_name;
    const char *display_name;
    ServiceStatus status;
};

class ServiceControlManager {
public:
    virtual ~ServiceControlManager() = default;

    // Every call that fails returns null/false and sets the calling thread's
    // last error (last_error()).
    virtual ScHandle open_sc_manager(std::uint32_t desired_access) = 0;
    virtual ScHandle open_service(ScHandle manager, std::string_view name,
                                  std::uint32_t desired_access) = 0;
    virtual bool query_service_status(ScHandle service, ServiceStatus *status) = 0;
    virtual bool control_service(ScHandle service, std::uint32_t control,
                                 ServiceStatus *status) = 0;
    // Fills `buffer` (`buffer_size` bytes; null allowed when 0) with the
    // dependents whose state matches `state_filter`, most dependent first.
    // When they do not fit: false, last error 234, *bytes_needed set.
    virtual bool enum_dependent_services(ScHandle service, std::uint32_t state_filter,
                                         void *buffer, std::uint32_t buffer_size,
                                         std::uint32_t *bytes_needed,
                                         std::uint32_t *services_returned) = 0;
    virtual bool start_service(ScHandle service) = 0;
    virtual bool close_service_handle(ScHandle handle) = 0;

    // The calling thread's last error (shared by every manager, like the
    // thread's last error on Windows).
    static std::uint32_t last_error();
    static void set_last_error(std::uint32_t code);
};

// A table of simulated services.  A stop control puts a running service
// into stop pending; it reaches stopped once `stop_time_ms` of the clock
// have passed (never, for kNeverStops).  Stopping a service that running
// services depend on fails with 1051, as on Windows.
class SimulatedServiceManager final : public ServiceControlManager {
public:
    static constexpr std::uint32_t kNeverStops = 0xFFFFFFFF;

    struct ServiceConfig {
        std::string name;
        std::string display_name;
        ServiceState state = ServiceState::Running;
        std::uint32_t wait_hint_ms = 1000;  // reported while pending
        std::uint32_t stop_time_ms = 0;     // from the stop control to stopped
        std::vector<std::string> depends_on;  // services this one needs
        // Rights that open_service refuses with access denied (5).
        std::uint32_t denied_access = 0;
    };

    explicit SimulatedServiceManager(Clock &clock);
    ~SimulatedServiceManager() override;

    void add_service(ServiceConfig config);
    // open_sc_manager fails with this code while it is not 0.
    void set_manager_open_error(std::uint32_t code);

    // What happened, for tests: the state now (stopped when unknown), and
    // the controls and starts each service received.
    ServiceState state_of(std::string_view name);
    std::uint32_t stop_controls_sent(std::string_view name) const;
    std::uint32_t starts(std::string_view name) const;
    std::size_t open_handles() const;

    ScHandle open_sc_manager(std::uint32_t desired_access) override;
    ScHandle open_service(ScHandle manager, std::string_view name,
                          std::uint32_t desired_access) override;
    bool query_service_status(ScHandle service, ServiceStatus *status) override;
    bool control_service(ScHandle service, std::uint32_t control,
                         ServiceStatus *status) override;
    bool enum_dependent_services(ScHandle service, std::uint32_t state_filter, void *buffer,
                                 std::uint32_t buffer_size, std::uint32_t *bytes_needed,
                                 std::uint32_t *services_returned) override;
    bool start_service(ScHandle service) override;
    bool close_service_handle(ScHandle handle) override;

private:
    struct Service;
    struct Handle;
    Service *find(std::string_view name);
    const Service *find(std::string_view name) const;
    void update(Service &s);
    ServiceStatus status_of(const Service &s) const;
    bool lookup(ScHandle h, bool want_service, std::uint32_t right, Handle **out);
    void collect_dependents(const Service &s, std::uint32_t filter,
                            std::vector<Service *> *out);

    Clock &clock_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Service>> services_;
    std::vector<std::unique_ptr<Handle>> handles_;
    ScHandle next_handle_ = 1;
    std::uint32_t manager_open_error_ = 0;
};

// The demo table: a running "wzcsvc" (Wireless Zero Configuration, which
// stops within a few of its wait hints) and a running service that depends
// on it.  Names are found case-insensitively, so "WZCSVC" finds it.
std::unique_ptr<SimulatedServiceManager> make_demo_service_table(Clock &clock);

// The service manager of this machine: the demo table on the steady clock,
// created on first use.
ServiceControlManager &local_service_manager();

} // namespace platform
