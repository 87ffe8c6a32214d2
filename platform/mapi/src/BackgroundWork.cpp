#include "BackgroundWork.h"

namespace vntmapi {

BackgroundWork::BackgroundWork(std::function<void()> work)
    : m_thread([this, work = std::move(work)] {
        work();
        const std::lock_guard lock(m_mutex);
        m_done = true;
        m_finished.notify_all();
    })
{}

BackgroundWork::~BackgroundWork()
{
    m_thread.join();
}

bool BackgroundWork::wait(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_finished.wait_for(lock, timeout, [this] { return m_done; });
}

void BackgroundWork::wait()
{
    std::unique_lock lock(m_mutex);
    m_finished.wait(lock, [this] { return m_done; });
}

} // namespace vntmapi
