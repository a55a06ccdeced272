#include "DeviceWorker.h"

namespace kestrow {

CDeviceWorker::CDeviceWorker() : m_Thread(&CDeviceWorker::Run, this) {}

CDeviceWorker::~CDeviceWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bStop = true;
        m_Jobs.clear();
    }
    m_Wake.notify_all();
    m_Thread.join();
}

bool CDeviceWorker::Post(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (m_bStop)
            return false;
        m_Jobs.push_back(std::move(job));
    }
    m_Wake.notify_one();
    return true;
}

bool CDeviceWorker::Busy() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_bRunning || !m_Jobs.empty();
}

void CDeviceWorker::Run()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    for (;;) {
        m_Wake.wait(lock, [this] { return m_bStop || !m_Jobs.empty(); });
        if (m_bStop)
            return;
        std::function<void()> job = std::move(m_Jobs.front());
        m_Jobs.pop_front();
        m_bRunning = true;
        lock.unlock();
        job();
        job = nullptr;  // whatever the job holds goes before it counts as done
        lock.lock();
        m_bRunning = false;
    }
}

} // namespace kestrow
