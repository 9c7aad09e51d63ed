#include "tests/support/module_loader.h"

#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace veilmere::test {

#if defined(_WIN32)

std::unique_ptr<LoadedModule> LoadedModule::Load(const std::string& path) {
  HMODULE handle = LoadLibraryA(path.c_str());
  if (handle == nullptr) return nullptr;
  return std::unique_ptr<LoadedModule>(new LoadedModule(handle));
}

std::string LoadedModule::LastError() { return "error " + std::to_string(GetLastError()); }

LoadedModule::~LoadedModule() { FreeLibrary(static_cast<HMODULE>(handle_)); }

void* LoadedModule::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::string LoaderPath(const std::string& builtPath) {
  return !builtPath.empty() && builtPath[0] == '/' ? "Z:" + builtPath : builtPath;
}

void SetEnvironment(const char* name, const char* value) {
  // _putenv updates the msvcrt environment that the module's getenv reads.
  _putenv((std::string(name) + "=" + (value != nullptr ? value : "")).c_str());
}

#else

std::unique_ptr<LoadedModule> LoadedModule::Load(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  return std::unique_ptr<LoadedModule>(new LoadedModule(handle));
}

std::string LoadedModule::LastError() {
  const char* error = dlerror();
  return error != nullptr ? error : "no error";
}

LoadedModule::~LoadedModule() { dlclose(handle_); }

void* LoadedModule::Symbol(const char* name) const { return dlsym(handle_, name); }

std::string LoaderPath(const std::string& builtPath) { return builtPath; }

void SetEnvironment(const char* name, const char* value) {
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

#endif

}  // namespace veilmere::test
