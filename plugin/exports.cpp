// The module's whole face to the host: the entry routine and the five exported functions
// (declared in host/module_api.h). Each export is a pass-through to the process-wide filter
// list; on Windows each is published under its plain and its decorated stdcall name
// (exports.def), on Linux under its plain name (exports.map).

#include <cstdint>
#include <cstring>

#include "filters/pixel.h"
#include "host/host_api.h"
#include "host/module_api.h"
#include "plugin/creation_table.h"
#include "plugin/error_notice.h"
#include "plugin/filter_list.h"

#if defined(_WIN32)
#include <windows.h>

// The module carries its own copy of the C++ runtime (it is linked statically), and that copy
// sets aside a reserve of about 19 KB on the C heap when the module loads, for exceptions
// thrown when memory runs out. The runtime never gives it back by itself; this releases it.
// It is the runtime's own entry point for the purpose, declared by no header.
namespace __gnu_cxx {
void __freeres();
}

#define QF_EXPORT
#else
#define QF_EXPORT __attribute__((visibility("default")))
#endif

namespace veilmere {
namespace {

// The one filter list of the process. A function-local static, so that it exists before its
// first use whatever order the other translation units are initialised in; its destructor
// runs at unload and destroys every filter.
FilterList& TheFilterList() noexcept {
  static FilterList list(CreationTable(), &ShowErrorNotice);
  return list;
}

// The information line QF_GetPluginInfo hands out. VEILMERE_VERSION ("0.5") comes from the
// build, which takes it from the project's version.
constexpr char kPluginInfo[] =
    "veilmere " VEILMERE_VERSION " - Copyright (C) 2026 the veilmere developers";

// The strncpy rule: at most `length` bytes; NUL bytes fill the rest after a shorter text; a
// text of `length` bytes or more is cut and left without a terminator. A null buffer gets
// nothing, whatever length comes with it.
void CopyText(char* buffer, std::uint32_t length, const char* text) noexcept {
  if (buffer != nullptr && length != 0) std::strncpy(buffer, text, length);
}

}  // namespace
}  // namespace veilmere

using veilmere::HostValue;
using veilmere::Pixel;
using veilmere::FilterRect;
using veilmere::ProgressProc;

extern "C" {

// Called by the host at any time after load to show what the module is. Copies the
// information line into `buffer` (at most `length` bytes, the strncpy rule) and returns 1.
QF_EXPORT std::int16_t QF_CALL QF_GetPluginInfo(char* buffer, std::uint32_t length) {
  veilmere::CopyText(buffer, length, veilmere::kPluginInfo);
  return 1;
}

// Called by the host to learn how many filters there are: 10 after a successful load, 0 on a
// platform without load refusal when the list could not be built.
QF_EXPORT std::int32_t QF_CALL QFF_FilterCount() {
  return veilmere::TheFilterList().Count();
}

// Called by the host to read filter `index`'s labels for its menu. Copies the category label
// into `category` and the name label into `name` (the strncpy rule, at most the given
// lengths); an index the list does not hold gives both buffers the empty text, that is,
// fills them with NUL bytes. Returns `name`, which carries no status.
QF_EXPORT char* QF_CALL QFF_GetName(std::int32_t index, char* category,
                                    std::uint32_t categoryLength, char* name,
                                    std::uint32_t nameLength) {
  const auto& list = veilmere::TheFilterList();
  const auto slot = static_cast<std::uint32_t>(index);
  veilmere::CopyText(category, categoryLength, list.Category(slot));
  veilmere::CopyText(name, nameLength, list.Name(slot));
  return name;
}

// Called by the host to run filter `index` over `rect` of `source`, writing `destination`;
// both images have `rowLength` pixels per row. The four host values are passed on unread.
// `progress` (may be null) first receives (0, 100, user), then the filter's rising
// percentages, then (100, 100, user), even for an index the list does not hold; the result
// is that last call's, or 0 without a progress function.
QF_EXPORT std::int32_t QF_CALL QFF_Execute(std::int32_t index, HostValue hostValue2,
                                           Pixel* source, Pixel* destination,
                                           HostValue hostValue5, const FilterRect* rect,
                                           HostValue hostValue7, std::int32_t rowLength,
                                           HostValue hostValue9, ProgressProc progress,
                                           void* user) {
  veilmere::ProgressRecord record{user, progress, 0};
  if (progress != nullptr) progress(0, 100, user);
  veilmere::TheFilterList().Execute(static_cast<std::uint32_t>(index), hostValue2, source,
                                        destination, hostValue5, rect, hostValue7, rowLength,
                                        hostValue9, &record);
  return progress != nullptr ? progress(100, 100, user) : 0;
}

// Called by the host when the user asks for filter `index`'s settings. Returns 1 for every
// filter of this module, 0 for an index the list does not hold; an error raised during
// set-up is shown in a message box owned by the window `owner` and gives 0.
QF_EXPORT std::int32_t QF_CALL QFF_Setup(std::int32_t index, HostValue owner,
                                         HostValue hostValue3, HostValue hostValue4,
                                         HostValue hostValue5) {
  return veilmere::TheFilterList().Setup(static_cast<std::uint32_t>(index), owner,
                                             hostValue3, hostValue4, hostValue5);
}

#if defined(_WIN32)
// Called by Windows when the module is mapped into or out of a process. On attach it builds
// the filter list; false makes the loader refuse the module, so the host never sees a module
// with a partial list. Nothing is done per thread. On detach the list's static destructor
// tears the list down (the C runtime runs it after this returns); when the module is being
// unloaded (`reserved` null: FreeLibrary, or a refused attach) the runtime's exception reserve
// is released too, so that a host loading and unloading the module keeps no memory of it.
// When the process is exiting (`reserved` not null) the heap is left alone, as Windows asks.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) return veilmere::TheFilterList().Initialize();
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) __gnu_cxx::__freeres();
  return TRUE;
}
#endif

}  // extern "C"

#if !defined(_WIN32)
// The shared-library loader has no way to refuse a library from inside it; a list that
// cannot be built stays empty, and the module offers no filter.
__attribute__((constructor)) static void AttachModule() {
  veilmere::TheFilterList().Initialize();
}
#endif
