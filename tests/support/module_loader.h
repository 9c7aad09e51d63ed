#pragma once
// Loads a built module by path, the way a host does, and looks its exports up by name.

#include <cstdint>
#include <memory>
#include <string>

#include "host/module_api.h"

namespace veilmere::test {

class LoadedModule {
 public:
  // Loads the module at `path`; null when the platform loader refuses it (see LastError).
  static std::unique_ptr<LoadedModule> Load(const std::string& path);
  // Why the last Load failed, as the platform loader says it.
  static std::string LastError();

  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // The export named `name`, or null.
  void* Symbol(const char* name) const;

  template <class Fn>
  Fn Function(const char* name) const {
    return reinterpret_cast<Fn>(Symbol(name));
  }

  // The five exports under their plain names.
  GetPluginInfoFn GetPluginInfo() const { return Function<GetPluginInfoFn>("QF_GetPluginInfo"); }
  FilterCountFn FilterCount() const { return Function<FilterCountFn>("QFF_FilterCount"); }
  GetNameFn GetName() const { return Function<GetNameFn>("QFF_GetName"); }
  ExecuteFn Execute() const { return Function<ExecuteFn>("QFF_Execute"); }
  SetupFn Setup() const { return Function<SetupFn>("QFF_Setup"); }

 private:
  explicit LoadedModule(void* handle) : handle_(handle) {}
  void* handle_;
};

// A path the platform loader understands for a file the build names by its host path: on
// win32 under Wine, a Unix path is reached through Wine's Z: drive.
std::string LoaderPath(const std::string& builtPath);

// Sets or (with null) removes an environment variable of this process, where the C runtime of
// a loaded module sees it too.
void SetEnvironment(const char* name, const char* value);

}  // namespace veilmere::test
