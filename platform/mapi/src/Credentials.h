// The SMTP password of a profile: from the desktop keyring (libsecret) when a session bus
// offers one, else asked for once per session (MAPI_PASSWORD_UI). It is never written to a
// file by this library.
#pragma once

#include "Profiles.h"

namespace vntmapi {

// The password for `transport`'s server and user; empty when there is none to be had (no
// keyring entry and no prompt allowed, or the prompt was cancelled).
std::string findPassword(const TransportConfig& transport, ULONG_PTR uiParam, ULONG logonFlags);

} // namespace vntmapi
