#include "Disposer.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace vntmapi {

namespace {

class Disposer
{
public:
    Disposer()
        : m_thread([this] { run(); })
    {}

    // Frees what is queued first.
    ~Disposer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void add(std::unique_ptr<Disposal> disposal)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(disposal));
        }
        m_wake.notify_one();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) {
                return; // stopping, and nothing left
            }
            std::unique_ptr<Disposal> next = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            next.reset();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::unique_ptr<Disposal>> m_queue;
    bool m_stopping = false;
    std::thread m_thread; // last: it starts once the rest is there
};

// Plain globals, usable still while the library's objects are destroyed: a client may release
// a table during exit, after the disposer is gone, and then frees it itself.
std::mutex g_disposerMutex;
Disposer* g_disposer = nullptr;
bool g_unloading = false;

// Nothing of this library may run once it is unloaded (or the process ends).
struct FinishOnUnload
{
    ~FinishOnUnload()
    {
        Disposer* last = nullptr;
        {
            std::lock_guard lock(g_disposerMutex);
            g_unloading = true;
            last = std::exchange(g_disposer, nullptr);
        }
        delete last;
    }
} g_finishOnUnload;

} // namespace

void disposeInBackground(std::unique_ptr<Disposal> disposal)
{
    std::unique_lock lock(g_disposerMutex);
    if (g_unloading) {
        lock.unlock();
        disposal.reset();
        return;
    }
    if (!g_disposer) {
        g_disposer = new Disposer;
    }
    g_disposer->add(std::move(disposal));
}

} // namespace vntmapi
