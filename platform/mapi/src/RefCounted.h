// Reference counting shared by every object the library hands out.
#pragma once

#include "vntmapi/MapiInterfaces.h"

#include <atomic>

namespace vntmapi {

template<typename Interface>
class RefCounted : public Interface
{
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }

private:
    std::atomic<ULONG> m_refs{1};
};

} // namespace vntmapi
