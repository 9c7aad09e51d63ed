// A module whose filter list cannot be built must not be offered to the host. This loads a
// build of the module whose storage fails on one chosen call, that is, for one chosen row of
// the creation table (tests/support/failing_storage.cpp).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "filters/filter_table.h"
#include "hostkit/loaded_module.h"
#include "tests/support/memory_use.h"

namespace veilmere::test {
namespace {

using hostkit::LoadedModule;

constexpr char kFailCall[] = "VEILMERE_TEST_FAIL_CALL";
constexpr int kRows = kFilterCount;

std::unique_ptr<LoadedModule> LoadFailing() {
  return LoadedModule::Load(VEILMERE_FAILING_MODULE_PATH);
}

// Sets or (with null) removes an environment variable of this process, where the C runtime of
// a loaded module sees it too.
void SetEnvironment(const char* name, const char* value) {
#if defined(_WIN32)
  // _putenv updates the msvcrt environment that the module's getenv reads.
  _putenv((std::string(name) + "=" + (value != nullptr ? value : "")).c_str());
#else
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
#endif
}

TEST(ModuleLoadFailure, NoStorageForAnyOneRowRefusesTheModuleThenALaterLoadSucceeds) {
  // A refused load must keep nothing: the filters already made are destroyed, and (on
  // Windows) the module is unloaded at once with everything its runtime took. Counted from
  // after the first refusal, which also pays for the loader's own first-time set-up. The
  // sanitizer builds leave this to LeakSanitizer.
  std::size_t heapAfterFirst = 0;
  for (int row = 0; row < kRows; ++row) {
    SetEnvironment(kFailCall, std::to_string(row).c_str());
    auto module = LoadFailing();
#if defined(_WIN32)
    // The entry routine's false makes LoadLibrary refuse the module.
    EXPECT_EQ(module, nullptr) << "row " << row;
#else
    // A shared library cannot refuse its own load: it offers no filter instead.
    ASSERT_NE(module, nullptr) << LoadedModule::LastError();
    EXPECT_EQ(module->FilterCount()(), 0) << "row " << row;
    module.reset();
#endif
    if (row == 0) heapAfterFirst = HeapBytesInUse();
  }
#if VEILMERE_SANITIZED
  (void)heapAfterFirst;
#else
  // Allows for the few bytes a Windows load costs the process for good (load_cycle_test).
  EXPECT_LE(HeapBytesInUse(), heapAfterFirst + kUnfreedBytesPerLoad * (kRows - 1));
#endif
  SetEnvironment(kFailCall, nullptr);
  auto module = LoadFailing();
  ASSERT_NE(module, nullptr) << LoadedModule::LastError();
  EXPECT_EQ(module->FilterCount()(), kRows);
}

}  // namespace
}  // namespace veilmere::test
