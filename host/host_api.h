#pragma once
// The binary contract between the paint program (the host) and a filter module, as far as the
// host provides it: the calling convention of every call across the boundary in both
// directions, the memory layouts both sides share, the progress function and the colour query.
// Depends on nothing but the C++ standard library, so that hosts and the module alike build
// on it.

#include <cstddef>
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

// One 32-bit pixel in memory order blue, green, red, alpha. Alpha 0 is fully transparent,
// 255 fully opaque. Source and destination images both use this layout.
struct Pixel {
  std::uint8_t b;
  std::uint8_t g;
  std::uint8_t r;
  std::uint8_t a;

  friend constexpr bool operator==(const Pixel&, const Pixel&) = default;
};
static_assert(sizeof(Pixel) == 4 && alignof(Pixel) == 1);
static_assert(offsetof(Pixel, b) == 0 && offsetof(Pixel, g) == 1 && offsetof(Pixel, r) == 2 &&
              offsetof(Pixel, a) == 3);

// A rectangle in pixels: left and top inclusive, right and bottom exclusive. The host may pass
// any values; an empty or inverted rectangle touches nothing.
struct FilterRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};
static_assert(sizeof(FilterRect) == 16);
static_assert(offsetof(FilterRect, left) == 0 && offsetof(FilterRect, top) == 4 &&
              offsetof(FilterRect, right) == 8 && offsetof(FilterRect, bottom) == 12);

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
