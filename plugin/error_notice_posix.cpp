#include <cstdio>

#include "plugin/error_notice.h"

namespace veilmere {

void ShowErrorNotice(HostValue, const char* text) { std::fprintf(stderr, "exception: %s\n", text); }

}  // namespace veilmere
