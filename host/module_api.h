#pragma once
// How a host calls the module: the prototypes of the five functions the module exports, as a
// host that looks them up by name declares them. On win32 every argument is 32 bits wide and
// the callee pops them (stdcall), which the byte counts of the decorated names record:
// _QF_GetPluginInfo@8, _QFF_FilterCount@0, _QFF_GetName@20, _QFF_Execute@44, _QFF_Setup@20.

#include <cstdint>

#include "filters/pixel.h"
#include "host/host_api.h"

namespace veilmere {

using GetPluginInfoFn = std::int16_t(QF_CALL*)(char* buffer, std::uint32_t length);
using FilterCountFn = std::int32_t(QF_CALL*)();
using GetNameFn = char*(QF_CALL*)(std::int32_t index, char* category, std::uint32_t categoryLength,
                                  char* name, std::uint32_t nameLength);
using ExecuteFn = std::int32_t(QF_CALL*)(std::int32_t index, HostValue hostValue2, Pixel* source,
                                         Pixel* destination, HostValue hostValue5,
                                         const FilterRect* rect, HostValue hostValue7,
                                         std::int32_t rowLength, HostValue hostValue9,
                                         ProgressProc progress, void* user);
using SetupFn = std::int32_t(QF_CALL*)(std::int32_t index, HostValue owner, HostValue hostValue3,
                                       HostValue hostValue4, HostValue hostValue5);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(HostValue) == 4 && sizeof(void*) == 4,
              "the decorated names' byte counts assume 32-bit arguments");
#endif

}  // namespace veilmere
