// The program's receiver of folder and table notifications. A sink belongs to one folder (by
// its sequence number in the folder list) and hands each notification to its handler on the
// user-interface thread; the mail library holds its own reference while advised.
#pragma once

#include "vntmapi/MapiInterfaces.h"

#include <atomic>
#include <functional>

namespace vantrel::mail {

class AdviseSink final : public IMAPIAdviseSink
{
public:
    using Handler = std::function<void(int sequence, const NOTIFICATION& notification)>;

    // The sink keeps a reference to `session` while it lives (it may be null in tests).
    static MapiPtr<AdviseSink> create(int sequence, IMAPISession* session, Handler handler);

    ULONG AddRef() override;
    ULONG Release() override;
    ULONG OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications) override;

    int sequence() const { return m_sequence; }
    // Stops handing on notifications: what the handler refers to is going away while the
    // library may still hold the sink.
    void detach() { m_handler = nullptr; }

private:
    AdviseSink(int sequence, IMAPISession* session, Handler handler);
    ~AdviseSink() override;

    std::atomic<ULONG> m_refs{1};
    int m_sequence;
    IMAPISession* m_session;
    Handler m_handler;
};

} // namespace vantrel::mail
