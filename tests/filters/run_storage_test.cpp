// A run obtains no storage: the painter waits on it, and it must not fail half way for want
// of memory. This program counts every use of the global operator new.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "tests/support/every_filter.h"
#include "tests/support/test_image.h"

namespace {
std::size_t allocations = 0;
}  // namespace

void* operator new(std::size_t bytes) {
  ++allocations;
  if (void* storage = std::malloc(bytes != 0 ? bytes : 1)) return storage;
  throw std::bad_alloc();
}
void operator delete(void* storage) noexcept { std::free(storage); }
void operator delete(void* storage, std::size_t) noexcept { std::free(storage); }

namespace veilmere {
namespace {

std::int32_t QF_CALL CountCalls(std::int32_t, std::int32_t, void* user) {
  ++*static_cast<int*>(user);
  return 0;
}

TEST(FilterRun, ObtainsNoStorage) {
  const auto filters = test::MakeEveryFilter();

  test::TestImage source(300, 200, 301), destination(300, 200, 301);
  source.FillRandom(7);
  const FilterRect rect{1, 0, 300, 200};
  for (const auto& filter : filters) {
    for (Pixel* target : {destination.data(), source.data()}) {  // two images, then in place
      int calls = 0;
      ProgressRecord record{&calls, &CountCalls, 0};
      const std::size_t before = allocations;
      filter->Execute(0, source.data(), target, 0, &rect, 0, 301, 0, &record);
      EXPECT_EQ(allocations, before) << filter->Name();
      EXPECT_EQ(calls, 99) << filter->Name();  // 1 to 99, once each: the run did take place
    }
  }
}

}  // namespace
}  // namespace veilmere
