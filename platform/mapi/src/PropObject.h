// Base of the objects whose properties are computed on demand and cannot be changed yet:
// GetProps and GetPropList answer from properties(); changing calls are not supported.
#pragma once

#include "LastError.h"
#include "Property.h"
#include "RefCounted.h"
#include "vntmapi/MapiEntryPoints.h"

#include <algorithm>

namespace vntmapi {

template<typename Interface>
class PropObject : public RefCounted<Interface>
{
public:
    HRESULT GetLastError(HRESULT hResult, ULONG, LPMAPIERROR* lppMAPIError) override
    {
        if (!lppMAPIError) {
            return MAPI_E_INVALID_PARAMETER;
        }
        *lppMAPIError = nullptr;
        if (m_lastError.text.empty() || hResult != m_lastError.code) {
            return S_OK;
        }
        return newMapiError(m_lastError, lppMAPIError);
    }
    HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG, ULONG* lpcValues,
                     LPSPropValue* lppPropArray) override
    {
        return propArray(lpPropTagArray ? propertiesFor(*lpPropTagArray) : properties(),
                         lpPropTagArray, lpcValues, lppPropArray);
    }
    HRESULT GetPropList(ULONG, LPSPropTagArray* lppPropTagArray) override
    {
        if (!lppPropTagArray) {
            return MAPI_E_INVALID_PARAMETER;
        }
        const PropList props = properties();
        const auto n = static_cast<ULONG>(props.size());
        void* buffer = nullptr;
        if (MAPIAllocateBuffer(static_cast<ULONG>(CbNewSPropTagArray(n)), &buffer) != S_OK) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        auto* tags = static_cast<LPSPropTagArray>(buffer);
        tags->cValues = n;
        std::transform(props.begin(), props.end(), tags->aulPropTag,
                       [](const Prop& p) { return p.tag; });
        *lppPropTagArray = tags;
        return S_OK;
    }
    HRESULT SetProps(ULONG, LPSPropValue, LPSPropProblemArray*) override
    {
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override
    {
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT SaveChanges(ULONG) override { return MAPI_E_NO_SUPPORT; }
    HRESULT CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG, IMAPIProgress*, LPCIID, IMAPIProp*, ULONG,
                   LPSPropProblemArray*) override
    {
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT CopyProps(LPSPropTagArray, ULONG, IMAPIProgress*, LPCIID, IMAPIProp*, ULONG,
                      LPSPropProblemArray*) override
    {
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override
    {
        return MAPI_E_NO_SUPPORT;
    }
    HRESULT GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override
    {
        return MAPI_E_NO_SUPPORT;
    }

protected:
    virtual PropList properties() const = 0;
    // Enough of properties() to answer for `tags`: an object holding large values (bodies,
    // attachment data) copies them only for a caller that asks for them.
    virtual PropList propertiesFor(const SPropTagArray& tags) const
    {
        static_cast<void>(tags);
        return properties();
    }

    // Kept for GetLastError until the next call that fails.
    void setLastError(HRESULT code, std::string text, int systemError = 0)
    {
        m_lastError = {code, std::move(text), systemError};
    }

private:
    LastError m_lastError;
};

} // namespace vntmapi
