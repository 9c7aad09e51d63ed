#pragma once
// A test suite that plays host to the built module (VEILMERE_MODULE_PATH): loaded once for
// all its tests, with the colour query answered by kTestColours and kTestQueryResult. Every
// test fails at once when the module did not load.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hostkit/colour_answer.h"
#include "hostkit/loaded_module.h"
#include "tests/support/expected_rules.h"

namespace veilmere::test {

class ModuleSuite : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    queriesWhileLoading_.clear();
    module_ = hostkit::LoadAnswering(VEILMERE_MODULE_PATH, kTestColours, kTestQueryResult,
                                     &queriesWhileLoading_);
    ASSERT_NE(module_, nullptr) << VEILMERE_MODULE_PATH << ": "
                                << hostkit::LoadedModule::LastError();
  }
  static void TearDownTestSuite() { module_.reset(); }
  void SetUp() override { ASSERT_NE(module_, nullptr); }

  static std::int32_t Count() { return module_->FilterCount()(); }

  // Category and name of filter `index` as the module hands them out (code page 932), read
  // with ample buffers.
  static std::pair<std::string, std::string> Labels(std::int32_t index) {
    char category[256], name[256];
    module_->GetName()(index, category, sizeof category, name, sizeof name);
    return {category, name};
  }

  static inline std::unique_ptr<hostkit::LoadedModule> module_;
  // The colour queries the module made while it loaded.
  static inline std::vector<hostkit::ColourQuery> queriesWhileLoading_;
};

}  // namespace veilmere::test
