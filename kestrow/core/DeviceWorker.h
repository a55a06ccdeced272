// CDeviceWorker: the core's device worker, a thread that runs the work a
// user asked for (connect, join, ...) so that the user-interface thread
// never waits on the adapter or on the main lock.  Jobs run one at a time
// in the order they were posted; each job reports its own result (the user
// interface hands it a callback that queues the result into its event loop).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kestrow {

class CDeviceWorker {
public:
    CDeviceWorker();
    // Lets the running job finish, drops those not started, and joins.
    ~CDeviceWorker();
    CDeviceWorker(const CDeviceWorker &) = delete;
    CDeviceWorker &operator=(const CDeviceWorker &) = delete;

    // Queues `job`.  False (and the job is dropped) once the worker stops.
    bool Post(std::function<void()> job);
    // Whether a job runs or waits.
    bool Busy() const;

private:
    void Run();

    mutable std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::deque<std::function<void()>> m_Jobs;  // guarded by m_Mutex
    bool m_bRunning = false;                   // a job runs; guarded by m_Mutex
    bool m_bStop = false;                      // guarded by m_Mutex
    std::thread m_Thread;                      // last: starts once the rest exists
};

} // namespace kestrow
