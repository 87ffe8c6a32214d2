// An address opened by its one-off entry id: the session's identity, a reply-to entry.
#pragma once

#include "OneOff.h"
#include "PropObject.h"

namespace vntmapi {

class MailUser : public PropObject<IMailUser>
{
public:
    explicit MailUser(OneOff address);

    HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override
    {
        return MAPI_E_NO_SUPPORT; // an address has nothing to open
    }

protected:
    PropList properties() const override;

private:
    OneOff m_address;
};

} // namespace vntmapi
