#include "hostkit/loaded_module.h"

#include "hostkit/text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace veilmere::hostkit {
namespace {

thread_local std::string lastError;

#if defined(_WIN32)

void* OpenLibrary(const std::string& path) {
  // LoadLibrary looks a bare name up on the DLL search path, and adds ".dll" to a name
  // without an extension unless it ends in '.'; a host means the file as named.
  std::wstring file = WindowsPath(path);
  if (file.find_first_of(L"\\:") == std::wstring::npos) file = L".\\" + file;
  const std::size_t name = file.find_last_of(L"\\:") + 1;
  if (file.find(L'.', name) == std::wstring::npos) file += L'.';
  HMODULE handle = LoadLibraryW(file.c_str());
  if (handle == nullptr) lastError = SystemMessage(GetLastError());
  return handle;
}

void CloseLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

void* LookUp(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

#else

void* OpenLibrary(const std::string& path) {
  // dlopen looks a name without a slash up on the library search path; a host means a file.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    lastError = reason != nullptr ? reason : "unknown error";
  }
  return handle;
}

void CloseLibrary(void* handle) { ::dlclose(handle); }

void* LookUp(void* handle, const char* name) { return ::dlsym(handle, name); }

#endif

}  // namespace

std::unique_ptr<LoadedModule> LoadedModule::Load(const std::string& path) {
  void* handle = OpenLibrary(path);
  if (handle == nullptr) return nullptr;
  return std::unique_ptr<LoadedModule>(new LoadedModule(handle));
}

std::string LoadedModule::LastError() { return lastError; }

LoadedModule::LoadedModule(void* handle)
    : handle_(handle),
      getPluginInfo_(Function<GetPluginInfoFn>("QF_GetPluginInfo")),
      filterCount_(Function<FilterCountFn>("QFF_FilterCount")),
      getName_(Function<GetNameFn>("QFF_GetName")),
      execute_(Function<ExecuteFn>("QFF_Execute")),
      setup_(Function<SetupFn>("QFF_Setup")) {}

LoadedModule::~LoadedModule() { CloseLibrary(handle_); }

void* LoadedModule::Symbol(const char* name) const { return LookUp(handle_, name); }

const char* LoadedModule::MissingExport() const {
  if (getPluginInfo_ == nullptr) return "QF_GetPluginInfo";
  if (filterCount_ == nullptr) return "QFF_FilterCount";
  if (getName_ == nullptr) return "QFF_GetName";
  if (execute_ == nullptr) return "QFF_Execute";
  if (setup_ == nullptr) return "QFF_Setup";
  return nullptr;
}

}  // namespace veilmere::hostkit
