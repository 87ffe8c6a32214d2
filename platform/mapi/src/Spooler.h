// Sends what was submitted: one thread per logged-on session works through the send queues
// (SpoolRecord.h) of the profile's stores, off the caller's thread. Everything it does is on
// disk before it moves on, so a crash or a restart loses nothing: a message is in the Outbox
// and queued, sent (and in Sent Items, or deleted as asked), or reported back in the Inbox.
#pragma once

#include "Maildir.h"
#include "Profiles.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vntmapi {

class Spooler
{
public:
    explicit Spooler(std::vector<StoreConfig> stores);
    ~Spooler(); // waits for a message in flight
    Spooler(const Spooler&) = delete;
    Spooler& operator=(const Spooler&) = delete;

    // Looks at the queues now (a message was submitted) instead of at the next due time.
    void wake();
    // Wakes every spooler of this process.
    static void wakeAll();

private:
    void run();

    std::vector<StoreConfig> m_stores;
    std::mutex m_mutex;
    std::condition_variable m_wakeUp;
    bool m_stop = false;
    bool m_woken = false;
    std::thread m_thread;
};

// Sends what is due in the queue of `store`; `restart` treats every waiting message as due
// (a new session is a good moment to try again). Returns when to look again (unix ms), or 0
// when nothing waits. `stopping` is asked between messages: a logoff waits for the sends in
// flight only.
std::int64_t runQueue(const StoreConfig& store, bool restart,
                      const std::function<bool()>& stopping = {});

// Gives a message back its draft state (D) after it left the queue unsent.
void markUnsent(const MessageFile& file);

std::int64_t nowMs();

} // namespace vntmapi
