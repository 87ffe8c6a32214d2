#include "Disposer.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vntmapi {

namespace {

class Disposer
{
public:
    // Finishes what is queued; later disposals happen at once.
    void finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    void add(std::unique_ptr<Disposal> disposal)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) {
                return; // `disposal` goes here and now
            }
            m_queue.push_back(std::move(disposal));
            if (!m_thread.joinable()) {
                m_thread = std::thread([this] { run(); });
            }
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
    std::thread m_thread;
};

// Never destroyed: a table a client releases late, during exit, still finds it.
Disposer& disposer()
{
    static Disposer* const instance = new Disposer;
    return *instance;
}

// Nothing of this library may run once it is unloaded (or the process ends).
struct FinishOnUnload
{
    ~FinishOnUnload() { disposer().finish(); }
} g_finishOnUnload;

} // namespace

void disposeInBackground(std::unique_ptr<Disposal> disposal)
{
    disposer().add(std::move(disposal));
}

} // namespace vntmapi
