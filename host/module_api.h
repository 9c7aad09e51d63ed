#pragma once
// How a host calls the module: the five functions the module exports, declared once for the
// module that defines them and for every host that calls them. A host looks them up by name
// and calls them through the pointer types below. On win32 every argument is 32 bits wide and
// the callee pops them (stdcall), which the byte counts of the decorated names record:
// _QF_GetPluginInfo@8, _QFF_FilterCount@0, _QFF_GetName@20, _QFF_Execute@44, _QFF_Setup@20.

#include <cstdint>

#include "host/host_api.h"

extern "C" {

// Copies the module's information line into `buffer` by the strncpy rule (at most `length`
// bytes, NUL-filled after a shorter line, no terminator after one that fills the buffer) and
// returns 1.
std::int16_t QF_CALL QF_GetPluginInfo(char* buffer, std::uint32_t length);

// The number of filters the module offers.
std::int32_t QF_CALL QFF_FilterCount();

// Copies filter `index`'s category and name labels (code page 932) into the two buffers by
// the strncpy rule; an index the module does not hold gives both the empty text. Returns
// `name`.
char* QF_CALL QFF_GetName(std::int32_t index, char* category, std::uint32_t categoryLength,
                          char* name, std::uint32_t nameLength);

// Runs filter `index` over `rect` of `source` into `destination`, both `rowLength` pixels per
// row, bracketed by progress(0, 100, user) and progress(100, 100, user); returns the result
// of that last call, or 0 without a progress function. The four host values are not read.
std::int32_t QF_CALL QFF_Execute(std::int32_t index, veilmere::HostValue hostValue2,
                                 veilmere::Pixel* source, veilmere::Pixel* destination,
                                 veilmere::HostValue hostValue5, const veilmere::FilterRect* rect,
                                 veilmere::HostValue hostValue7, std::int32_t rowLength,
                                 veilmere::HostValue hostValue9, veilmere::ProgressProc progress,
                                 void* user);

// Runs filter `index`'s set-up; 1 when it succeeded, 0 for an index the module does not hold
// or an error, which is shown in a message box owned by the window `owner`.
std::int32_t QF_CALL QFF_Setup(std::int32_t index, veilmere::HostValue owner,
                               veilmere::HostValue hostValue3, veilmere::HostValue hostValue4,
                               veilmere::HostValue hostValue5);

}  // extern "C"

namespace veilmere {

// The five exports as a host that looks them up by name holds them.
using GetPluginInfoFn = decltype(&QF_GetPluginInfo);
using FilterCountFn = decltype(&QFF_FilterCount);
using GetNameFn = decltype(&QFF_GetName);
using ExecuteFn = decltype(&QFF_Execute);
using SetupFn = decltype(&QFF_Setup);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(HostValue) == 4 && sizeof(void*) == 4,
              "the decorated names' byte counts assume 32-bit arguments");
#endif

}  // namespace veilmere
