#pragma once
// How the module shows the user an error raised during set-up.

#include "host/host_api.h"

namespace veilmere {

// On Windows a modal message box owned by the window `owner`, with the caption "exception",
// the stop-sign icon and a single OK button; it returns when the user has closed the box.
// Elsewhere, where the module has no window system to use, one line on stderr.
void ShowErrorNotice(HostValue owner, const char* text);

}  // namespace veilmere
