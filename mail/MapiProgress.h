// The progress object the program hands the mail library for long folder operations (copy,
// move, delete with MESSAGE_DIALOG): each report drives the program's progress dialog, and
// the user's Cancel answers MAPI_E_USER_CANCEL, so the library stops between two messages.
#pragma once

#include "core/ProgressFeedback.h"
#include "vntmapi/MapiInterfaces.h"

namespace vantrel::mail {

class MapiProgress : public IMAPIProgress
{
public:
    explicit MapiProgress(ProgressFeedback& feedback)
        : m_feedback(feedback)
    {}
    ~MapiProgress() override = default;
    MapiProgress(const MapiProgress&) = delete;
    MapiProgress& operator=(const MapiProgress&) = delete;

    // Lives on the caller's stack for the one call it is passed to: counting is all there is.
    ULONG AddRef() override { return ++m_references; }
    ULONG Release() override { return --m_references; }

    HRESULT Progress(ULONG, ULONG ulCount, ULONG ulTotal) override
    {
        return m_feedback.step(ulCount, ulTotal) ? S_OK : MAPI_E_USER_CANCEL;
    }

private:
    ProgressFeedback& m_feedback;
    ULONG m_references = 1;
};

} // namespace vantrel::mail
