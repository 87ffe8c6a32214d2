#include "mail/AdviseSink.h"

namespace vantrel::mail {

MapiPtr<AdviseSink> AdviseSink::create(int sequence, IMAPISession* session, Handler handler)
{
    return MapiPtr<AdviseSink>(new AdviseSink(sequence, session, std::move(handler)));
}

AdviseSink::AdviseSink(int sequence, IMAPISession* session, Handler handler)
    : m_sequence(sequence)
    , m_session(session)
    , m_handler(std::move(handler))
{
    if (m_session)
        m_session->AddRef();
}

AdviseSink::~AdviseSink()
{
    if (m_session)
        m_session->Release();
}

ULONG AdviseSink::AddRef()
{
    return ++m_refs;
}

ULONG AdviseSink::Release()
{
    const ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

ULONG AdviseSink::OnNotify(ULONG cNotif, LPNOTIFICATION lpNotifications)
{
    // Keep this sink alive while a handler may drop the last outside reference.
    MapiPtr<AdviseSink> self(this);
    AddRef();
    for (ULONG i = 0; i < cNotif && lpNotifications; ++i) {
        if (!m_handler)
            break;
        const Handler handler = m_handler;
        handler(m_sequence, lpNotifications[i]);
    }
    return 0;
}

} // namespace vantrel::mail
