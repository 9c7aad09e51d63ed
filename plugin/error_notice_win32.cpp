#include <windows.h>

#include "plugin/error_notice.h"

namespace veilmere {

void ShowErrorNotice(HostValue owner, const char* text) {
  MessageBoxA(reinterpret_cast<HWND>(owner), text, "exception", MB_OK | MB_ICONSTOP);
}

}  // namespace veilmere
