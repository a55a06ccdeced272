#include "platform/ServiceControl.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/Win32Error.h"

namespace platform {
namespace {

thread_local std::uint32_t t_last_error = 0;

bool equal_nocase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

bool fail(std::uint32_t code)
{
    t_last_error = code;
    return false;
}

} // namespace

std::uint32_t ServiceControlManager::last_error()
{
    return t_last_error;
}

void ServiceControlManager::set_last_error(std::uint32_t code)
{
    t_last_error = code;
}

struct SimulatedServiceManager::Service {
    ServiceConfig config;
    std::uint64_t stop_started_ms = 0;
    std::uint32_t stop_controls = 0;
    std::uint32_t starts = 0;
};

struct SimulatedServiceManager::Handle {
    ScHandle id = kNullScHandle;
    bool is_service = false;
    std::uint32_t access = 0;
    std::string service_name;
};

SimulatedServiceManager::SimulatedServiceManager(Clock &clock) : clock_(clock) {}

SimulatedServiceManager::~SimulatedServiceManager() = default;

void SimulatedServiceManager::add_service(ServiceConfig config)
{
    std::lock_guard lock(mutex_);
    if (Service *existing = find(config.name)) {
        existing->config = std::move(config);
        return;
    }
    auto s = std::make_unique<Service>();
    s->config = std::move(config);
    if (s->config.state == ServiceState::StopPending)
        s->stop_started_ms = clock_.tick_ms();
    services_.push_back(std::move(s));
}

void SimulatedServiceManager::set_manager_open_error(std::uint32_t code)
{
    std::lock_guard lock(mutex_);
    manager_open_error_ = code;
}

SimulatedServiceManager::Service *SimulatedServiceManager::find(std::string_view name)
{
    for (auto &s : services_)
        if (equal_nocase(s->config.name, name))
            return s.get();
    return nullptr;
}

const SimulatedServiceManager::Service *SimulatedServiceManager::find(std::string_view name) const
{
    for (const auto &s : services_)
        if (equal_nocase(s->config.name, name))
            return s.get();
    return nullptr;
}

// Lets a stop in progress finish once its time has passed.
void SimulatedServiceManager::update(Service &s)
{
    if (s.config.state != ServiceState::StopPending ||
        s.config.stop_time_ms == kNeverStops)
        return;
    if (clock_.tick_ms() - s.stop_started_ms >= s.config.stop_time_ms)
        s.config.state = ServiceState::Stopped;
}

ServiceStatus SimulatedServiceManager::status_of(const Service &s) const
{
    ServiceStatus st;
    st.current_state = s.config.state;
    switch (s.config.state) {
    case ServiceState::Running:
        st.controls_accepted = 1;  // accepts stop
        break;
    case ServiceState::StopPending:
    case ServiceState::StartPending:
        st.wait_hint = s.config.wait_hint_ms;
        if (s.config.wait_hint_ms != 0) {
            const std::uint64_t elapsed = clock_.tick_ms() - s.stop_started_ms;
            st.check_point = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(elapsed / s.config.wait_hint_ms + 1, 0xFFFFFFFFu));
        }
        break;
    default:
        break;
    }
    return st;
}

ServiceState SimulatedServiceManager::state_of(std::string_view name)
{
    std::lock_guard lock(mutex_);
    Service *s = find(name);
    if (s == nullptr)
        return ServiceState::Stopped;
    update(*s);
    return s->config.state;
}

std::uint32_t SimulatedServiceManager::stop_controls_sent(std::string_view name) const
{
    std::lock_guard lock(mutex_);
    const Service *s = find(name);
    return s != nullptr ? s->stop_controls : 0;
}

std::uint32_t SimulatedServiceManager::starts(std::string_view name) const
{
    std::lock_guard lock(mutex_);
    const Service *s = find(name);
    return s != nullptr ? s->starts : 0;
}

std::size_t SimulatedServiceManager::open_handles() const
{
    std::lock_guard lock(mutex_);
    return handles_.size();
}

bool SimulatedServiceManager::lookup(ScHandle h, bool want_service, std::uint32_t right,
                                     Handle **out)
{
    for (auto &handle : handles_) {
        if (handle->id != h)
            continue;
        if (handle->is_service != want_service)
            return fail(kErrorInvalidHandle);
        if ((handle->access & right) != right)
            return fail(kErrorAccessDenied);
        *out = handle.get();
        return true;
    }
    return fail(kErrorInvalidHandle);
}

ScHandle SimulatedServiceManager::open_sc_manager(std::uint32_t desired_access)
{
    std::lock_guard lock(mutex_);
    if (manager_open_error_ != 0) {
        fail(manager_open_error_);
        return kNullScHandle;
    }
    auto h = std::make_unique<Handle>();
    h->id = next_handle_++;
    h->access = desired_access;
    const ScHandle id = h->id;
    handles_.push_back(std::move(h));
    t_last_error = kErrorSuccess;
    return id;
}

ScHandle SimulatedServiceManager::open_service(ScHandle manager, std::string_view name,
                                               std::uint32_t desired_access)
{
    std::lock_guard lock(mutex_);
    Handle *m = nullptr;
    if (!lookup(manager, false, 0, &m))
        return kNullScHandle;
    const Service *s = find(name);
    if (s == nullptr) {
        fail(kErrorServiceDoesNotExist);
        return kNullScHandle;
    }
    if ((desired_access & s->config.denied_access) != 0) {
        fail(kErrorAccessDenied);
        return kNullScHandle;
    }
    auto h = std::make_unique<Handle>();
    h->id = next_handle_++;
    h->is_service = true;
    h->access = desired_access;
    h->service_name = s->config.name;
    const ScHandle id = h->id;
    handles_.push_back(std::move(h));
    t_last_error = kErrorSuccess;
    return id;
}

bool SimulatedServiceManager::query_service_status(ScHandle service, ServiceStatus *status)
{
    std::lock_guard lock(mutex_);
    Handle *h = nullptr;
    if (!lookup(service, true, kServiceQueryStatus, &h))
        return false;
    if (status == nullptr)
        return fail(kErrorInvalidParameter);
    Service *s = find(h->service_name);
    if (s == nullptr)
        return fail(kErrorServiceDoesNotExist);
    update(*s);
    *status = status_of(*s);
    return true;
}

bool SimulatedServiceManager::control_service(ScHandle service, std::uint32_t control,
                                              ServiceStatus *status)
{
    std::lock_guard lock(mutex_);
    Handle *h = nullptr;
    if (control != kServiceControlStop)
        return fail(lookup(service, true, 0, &h) ? 1052u : ServiceControlManager::last_error());
    if (!lookup(service, true, kServiceStop, &h))
        return false;
    if (status == nullptr)
        return fail(kErrorInvalidParameter);
    Service *s = find(h->service_name);
    if (s == nullptr)
        return fail(kErrorServiceDoesNotExist);
    ++s->stop_controls;
    update(*s);
    *status = status_of(*s);
    switch (s->config.state) {
    case ServiceState::Stopped:
        return fail(kErrorServiceNotActive);
    case ServiceState::Running:
    case ServiceState::Paused:
        break;
    default:
        return fail(kErrorServiceCannotAcceptCtrl);
    }
    std::vector<Service *> active;
    collect_dependents(*s, kServiceActive, &active);
    if (!active.empty())
        return fail(kErrorDependentServicesRunning);
    s->config.state = ServiceState::StopPending;
    s->stop_started_ms = clock_.tick_ms();
    update(*s);
    *status = status_of(*s);
    t_last_error = kErrorSuccess;
    return true;
}

// Every service that depends on `s`, directly or not, deepest first (the
// reverse of the order they would be started in).
void SimulatedServiceManager::collect_dependents(const Service &s, std::uint32_t filter,
                                                 std::vector<Service *> *out)
{
    std::vector<Service *> all;
    std::vector<const Service *> path;
    auto visit = [&](auto &&self, const Service &node) -> void {
        path.push_back(&node);
        for (auto &candidate : services_) {
            Service *d = candidate.get();
            const bool depends = std::any_of(
                d->config.depends_on.begin(), d->config.depends_on.end(),
                [&](const std::string &n) { return equal_nocase(n, node.config.name); });
            if (!depends || std::find(path.begin(), path.end(), d) != path.end() ||
                std::find(all.begin(), all.end(), d) != all.end())
                continue;
            self(self, *d);
            all.push_back(d);
        }
        path.pop_back();
    };
    visit(visit, s);
    for (Service *d : all) {
        update(*d);
        const bool stopped = d->config.state == ServiceState::Stopped;
        if (((filter & kServiceActive) != 0 && !stopped) ||
            ((filter & kServiceInactive) != 0 && stopped))
            out->push_back(d);
    }
}

bool SimulatedServiceManager::enum_dependent_services(ScHandle service,
                                                      std::uint32_t state_filter, void *buffer,
                                                      std::uint32_t buffer_size,
                                                      std::uint32_t *bytes_needed,
                                                      std::uint32_t *services_returned)
{
    std::lock_guard lock(mutex_);
    Handle *h = nullptr;
    if (!lookup(service, true, kServiceEnumerateDependents, &h))
        return false;
    if (bytes_needed == nullptr || services_returned == nullptr ||
        (state_filter & kServiceStateAll) == 0 || (buffer == nullptr && buffer_size != 0))
        return fail(kErrorInvalidParameter);
    Service *s = find(h->service_name);
    if (s == nullptr)
        return fail(kErrorServiceDoesNotExist);

    std::vector<Service *> deps;
    collect_dependents(*s, state_filter, &deps);
    std::size_t needed = deps.size() * sizeof(EnumServiceStatus);
    for (const Service *d : deps)
        needed += d->config.name.size() + 1 + d->config.display_name.size() + 1;
    *services_returned = 0;
    *bytes_needed = 0;
    if (deps.empty()) {
        t_last_error = kErrorSuccess;
        return true;
    }
    if (needed > 0xFFFFFFFFu)
        return fail(kErrorNotEnoughMemory);
    if (buffer_size < needed) {
        *bytes_needed = static_cast<std::uint32_t>(needed);
        return fail(kErrorMoreData);
    }
    if (reinterpret_cast<std::uintptr_t>(buffer) % alignof(EnumServiceStatus) != 0)
        return fail(kErrorInvalidParameter);

    auto *entries = static_cast<EnumServiceStatus *>(buffer);
    char *text = static_cast<char *>(buffer) + deps.size() * sizeof(EnumServiceStatus);
    auto put = [&text](const std::string &str) {
        char *start = text;
        std::memcpy(text, str.c_str(), str.size() + 1);
        text += str.size() + 1;
        return start;
    };
    for (std::size_t i = 0; i < deps.size(); ++i) {
        const char *name = put(deps[i]->config.name);
        const char *display = put(deps[i]->config.display_name);
        ::new (static_cast<void *>(&entries[i]))
            EnumServiceStatus{name, display, status_of(*deps[i])};
    }
    *services_returned = static_cast<std::uint32_t>(deps.size());
    t_last_error = kErrorSuccess;
    return true;
}

bool SimulatedServiceManager::start_service(ScHandle service)
{
    std::lock_guard lock(mutex_);
    Handle *h = nullptr;
    if (!lookup(service, true, kServiceStart, &h))
        return false;
    Service *s = find(h->service_name);
    if (s == nullptr)
        return fail(kErrorServiceDoesNotExist);
    update(*s);
    if (s->config.state != ServiceState::Stopped)
        return fail(kErrorServiceAlreadyRunning);
    for (const std::string &dep : s->config.depends_on) {
        Service *d = find(dep);
        if (d == nullptr)
            return fail(1068);  // the dependency service failed to start
        update(*d);
        if (d->config.state != ServiceState::Running)
            return fail(1068);
    }
    ++s->starts;
    s->config.state = ServiceState::Running;
    t_last_error = kErrorSuccess;
    return true;
}

bool SimulatedServiceManager::close_service_handle(ScHandle handle)
{
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(handles_.begin(), handles_.end(),
                                 [handle](const auto &h) { return h->id == handle; });
    if (it == handles_.end())
        return fail(kErrorInvalidHandle);
    handles_.erase(it);
    t_last_error = kErrorSuccess;
    return true;
}

std::unique_ptr<SimulatedServiceManager> make_demo_service_table(Clock &clock)
{
    auto table = std::make_unique<SimulatedServiceManager>(clock);
    SimulatedServiceManager::ServiceConfig wzc;
    wzc.name = "wzcsvc";
    wzc.display_name = "Wireless Zero Configuration";
    wzc.state = ServiceState::Running;
    wzc.wait_hint_ms = 400;
    wzc.stop_time_ms = 1000;
    table->add_service(wzc);

    SimulatedServiceManager::ServiceConfig notify;
    notify.name = "wlannotify";
    notify.display_name = "Wireless Connection Notification";
    notify.state = ServiceState::Running;
    notify.wait_hint_ms = 200;
    notify.stop_time_ms = 300;
    notify.depends_on = {"wzcsvc"};
    table->add_service(notify);
    return table;
}

ServiceControlManager &local_service_manager()
{
    static const std::unique_ptr<SimulatedServiceManager> table =
        make_demo_service_table(steady_clock());
    return *table;
}

} // namespace platform
