#pragma once
// What the paint program (the host) provides to the module, and the calling convention that
// every call across the host/module boundary uses in both directions.

#include <cstdint>

// Windows hosts call and are called with stdcall: the callee pops its arguments, and the
// exported symbol carries the argument byte count ("_QFF_Execute@44"). Other platforms use
// their one C calling convention.
#if defined(_WIN32)
#define QF_CALL __stdcall
#else
#define QF_CALL
#endif

namespace veilmere {

// A value of the host's that crosses the module untouched: the run and set-up arguments this
// module passes on without reading, and the owner window handle. 32 bits on win32, pointer
// wide elsewhere so that a native host may pass addresses.
using HostValue = std::uintptr_t;

// The host's progress function. The module calls it on the thread of QFF_Execute with
// (0, 100, user) first, then rising percentages below 100, then (100, 100, user); only the
// result of the last call is used (QFF_Execute returns it).
using ProgressProc = std::int32_t(QF_CALL*)(std::int32_t position, std::int32_t maximum, void* user);

// Which of the host's current colours the module asks for.
using ColourId = std::int32_t;
inline constexpr ColourId kDrawingColour = 1;
inline constexpr ColourId kBackgroundColour = 3;

// The function the host's main executable exports as "QFF_QueryClientInfo". For ids 1 and 3
// it writes a colour into the four bytes at `answer` in Pixel order (blue, green, red, alpha).
// The host answers while it is still loading the module.
using QueryClientInfoProc = std::int32_t(QF_CALL*)(std::int32_t id, void* answer);
inline constexpr char kQueryClientInfoName[] = "QFF_QueryClientInfo";

}  // namespace veilmere
