#pragma once
// A filter module loaded by path, as the paint program loads it, with its five exports
// looked up by their plain names and typed by their exact prototypes.

#include <memory>
#include <string>

#include "host/module_api.h"

namespace veilmere::hostkit {

class LoadedModule {
 public:
  // Loads the module at `path`, UTF-8; on Windows under Wine a Unix path (starting with '/')
  // is reached through Wine's drive mapping. A path without a directory part names a file in
  // the current directory, never one on the loader's search path, and on Windows a name
  // without an extension is taken as it is, not with ".dll" added. Null when the loader
  // refuses the module; LastError then says why. A module lacking exports still loads (see
  // MissingExport).
  static std::unique_ptr<LoadedModule> Load(const std::string& path);
  // Why the last Load on this thread failed, in the platform loader's words.
  static std::string LastError();

  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // The export named `name`, or null.
  void* Symbol(const char* name) const;

  // The export named `name` as a pointer of the prototype `Fn`, or null.
  template <class Fn>
  Fn Function(const char* name) const {
    return reinterpret_cast<Fn>(Symbol(name));
  }

  // The five exports under their plain names; null where the module lacks one.
  GetPluginInfoFn GetPluginInfo() const { return getPluginInfo_; }
  FilterCountFn FilterCount() const { return filterCount_; }
  GetNameFn GetName() const { return getName_; }
  ExecuteFn Execute() const { return execute_; }
  SetupFn Setup() const { return setup_; }

  // The plain name of the first of the five exports the module lacks, or null when it has
  // them all.
  const char* MissingExport() const;

 private:
  explicit LoadedModule(void* handle);

  void* handle_;
  GetPluginInfoFn getPluginInfo_;
  FilterCountFn filterCount_;
  GetNameFn getName_;
  ExecuteFn execute_;
  SetupFn setup_;
};

}  // namespace veilmere::hostkit
