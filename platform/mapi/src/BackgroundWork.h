// One piece of work run on a thread of its own, for a caller that asked not to wait for it
// (a folder's contents table opened with MAPI_DEFERRED_ERRORS). The caller looks at what the
// work made only once wait() said it is done: the thread's writes are seen from then on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vntmapi {

class BackgroundWork
{
public:
    explicit BackgroundWork(std::function<void()> work);
    // Waits for the work to end: a caller going away asks it to stop first, its own way.
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // Whether the work is done, waiting for it at most `timeout`.
    bool wait(std::chrono::milliseconds timeout);
    void wait();

private:
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    std::thread m_thread; // last: starts once the rest is ready
};

} // namespace vntmapi
