// What the view keeps of the message read last.
#pragma once

#include "vntmapi/MapiDefs.h"

#include <QString>
#include <cstdint>

namespace vantrel::mail {

struct ReadState
{
    // 64-bit file times, zero when the message lacks them (used by the date filter).
    std::uint64_t deliveryTime = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t submitTime = 0;
    bool unsent = false; // MSGFLAG_UNSENT
    QString subject;     // at most 253 characters, " " when the message has none
    int lastReadIndex = -1;
};

} // namespace vantrel::mail
