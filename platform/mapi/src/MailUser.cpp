#include "MailUser.h"

namespace vntmapi {

MailUser::MailUser(OneOff address)
    : m_address(std::move(address))
{}

PropList MailUser::properties() const
{
    PropList props;
    props.push_back(binaryProp(PR_ENTRYID, encodeOneOff(m_address)));
    props.push_back(longProp(PR_OBJECT_TYPE, MAPI_MAILUSER));
    props.push_back(longProp(PR_DISPLAY_TYPE, DT_MAILUSER));
    props.push_back(stringProp(PR_DISPLAY_NAME, m_address.name));
    props.push_back(stringProp(PR_ADDRTYPE, m_address.addressType));
    props.push_back(stringProp(PR_EMAIL_ADDRESS, m_address.address));
    props.push_back(
        binaryProp(PR_SEARCH_KEY, addressSearchKey(m_address.addressType, m_address.address)));
    return props;
}

} // namespace vntmapi
