#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {
namespace {

// One gate per name and process: the thread that owns it, how often it
// entered, and the descriptor whose flock() holds the name across processes.
struct Gate {
    std::string name;
    std::mutex mutex;
    std::condition_variable released;
    int fd = -1;
    std::thread::id owner;
    std::uint32_t count = 0;

    ~Gate()
    {
        if (fd >= 0)
            ::close(fd);  // also drops a lock still held
    }

    // Called with `mutex` held.
    void give_up()
    {
        owner = std::thread::id();
        count = 0;
        ::flock(fd, LOCK_UN);
        released.notify_all();
    }
};

std::mutex g_gates_mutex;
std::map<std::string, std::weak_ptr<Gate>> g_gates;

// Gates a thread owns, so that a thread that ends while holding one frees it
// instead of blocking everybody else for good.
struct OwnedGates {
    std::vector<std::shared_ptr<Gate>> gates;
    ~OwnedGates()
    {
        const auto me = std::this_thread::get_id();
        for (auto &g : gates) {
            std::lock_guard lock(g->mutex);
            if (g->owner == me)
                g->give_up();
        }
    }
    void add(const std::shared_ptr<Gate> &g)
    {
        if (std::find(gates.begin(), gates.end(), g) == gates.end())
            gates.push_back(g);
    }
    void remove(const std::shared_ptr<Gate> &g)
    {
        gates.erase(std::remove(gates.begin(), gates.end(), g), gates.end());
    }
};

thread_local OwnedGates t_owned;

// The per-user runtime directory: $XDG_RUNTIME_DIR/kestrow, else
// /tmp/kestrow-<uid>.  It must be a real directory of ours that nobody else
// can write to, since anyone who can write there could hold our names.
bool runtime_dir(std::string *out)
{
    std::string dir;
    const char *xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && xdg[0] == '/')
        dir = std::string(xdg) + "/kestrow";
    else
        dir = "/tmp/kestrow-" + std::to_string(::getuid());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 0022) != 0)
        return false;
    *out = dir;
    return true;
}

// A file name for any mutex name: letters, digits, '-', '_' and '.' stay,
// everything else becomes %XX, so names never reach outside the directory.
std::string file_name_for(const std::string &name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || (c == '.' && !out.empty())) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out + ".lock";
}

std::shared_ptr<Gate> gate_for(const std::string &name)
{
    std::lock_guard lock(g_gates_mutex);
    if (auto existing = g_gates[name].lock())
        return existing;
    std::string dir;
    if (!runtime_dir(&dir))
        return nullptr;
    const std::string path = dir + "/" + file_name_for(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return nullptr;
    auto gate = std::make_shared<Gate>();
    gate->name = name;
    gate->fd = fd;
    g_gates[name] = gate;
    // Forget names whose last user went away.
    for (auto it = g_gates.begin(); it != g_gates.end();)
        it = it->second.expired() ? g_gates.erase(it) : std::next(it);
    return gate;
}

} // namespace

struct NamedMutex::Impl {
    std::string name;
    std::shared_ptr<Gate> gate;
};

NamedMutex::NamedMutex(std::string name) : impl_(std::make_unique<Impl>())
{
    impl_->name = std::move(name);
    impl_->gate = gate_for(impl_->name);
}

NamedMutex::~NamedMutex() = default;

bool NamedMutex::valid() const
{
    return impl_->gate != nullptr;
}

const std::string &NamedMutex::name() const
{
    return impl_->name;
}

WaitResult NamedMutex::wait(std::uint32_t timeout_ms)
{
    Gate *g = impl_->gate.get();
    if (g == nullptr)
        return WaitResult::Failed;
    using clock = std::chrono::steady_clock;
    const bool forever = timeout_ms == 0xFFFFFFFFu;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeout_ms);
    const auto me = std::this_thread::get_id();

    std::unique_lock lock(g->mutex);
    if (g->owner == me) {
        if (g->count == 0xFFFFFFFFu)
            return WaitResult::Failed;
        ++g->count;
        return WaitResult::Signaled;
    }
    // Another process can only be waited for by asking again; the pause
    // between two tries grows to 10 ms.
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (g->owner == std::thread::id()) {
            if (::flock(g->fd, LOCK_EX | LOCK_NB) == 0) {
                g->owner = me;
                g->count = 1;
                t_owned.add(impl_->gate);
                return WaitResult::Signaled;
            }
            if (errno == EINTR)
                continue;
            if (errno != EWOULDBLOCK)
                return WaitResult::Failed;
            if (timeout_ms == 0)
                return WaitResult::Timeout;
            const auto now = clock::now();
            if (!forever && now >= deadline)
                return WaitResult::Timeout;
            const auto until = forever ? now + pause : std::min(deadline, now + pause);
            g->released.wait_until(lock, until);
            pause = std::min(pause * 2, std::chrono::milliseconds(10));
        } else {
            if (timeout_ms == 0)
                return WaitResult::Timeout;
            if (forever) {
                g->released.wait(lock);
            } else if (g->released.wait_until(lock, deadline) == std::cv_status::timeout &&
                       g->owner != std::thread::id()) {
                return WaitResult::Timeout;
            }
        }
    }
}

bool NamedMutex::release()
{
    Gate *g = impl_->gate.get();
    if (g == nullptr)
        return false;
    std::lock_guard lock(g->mutex);
    if (g->owner != std::this_thread::get_id() || g->count == 0)
        return false;
    if (--g->count == 0) {
        g->give_up();
        t_owned.remove(impl_->gate);
    }
    return true;
}

} // namespace platform
