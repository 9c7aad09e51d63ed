// Building the filter list when storage runs out at any point: for the filter objects, their
// label copies or the list itself. This program replaces the global operator new so that the
// Nth allocation inside Initialize fails, for every N until Initialize needs no more.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "plugin/filter_list.h"
#include "plugin/creation_table.h"

namespace {

bool gArmed = false;
long gAllocationsWhileArmed = 0;
long gFailAt = -1;
long gLiveBlocks = 0;

void* Allocate(std::size_t size) {
  if (gArmed && gAllocationsWhileArmed++ == gFailAt) throw std::bad_alloc();
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  ++gLiveBlocks;
  return p;
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  --gLiveBlocks;
  std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace veilmere {
namespace {

void CaptureNothing(HostValue, const char*) {}

TEST(AllocationFailure, AnyFailedAllocationEmptiesTheListAndLeaksNothing) {
  long attempts = 0;
  for (gFailAt = 0;; ++gFailAt) {
    const long before = gLiveBlocks;
    bool built = false;
    std::int32_t count = -1;
    {
      FilterList list(CreationTable(), &CaptureNothing);
      gAllocationsWhileArmed = 0;
      gArmed = true;
      built = list.Initialize();  // must not throw, whatever fails
      gArmed = false;
      count = list.Count();
    }
    EXPECT_EQ(gLiveBlocks, before) << "blocks leaked when allocation " << gFailAt << " failed";
    if (gAllocationsWhileArmed <= gFailAt) {  // nothing failed: the list was built
      EXPECT_TRUE(built);
      EXPECT_EQ(count, static_cast<std::int32_t>(CreationTable().size()));
      break;
    }
    EXPECT_FALSE(built) << "allocation " << gFailAt << " failed";
    EXPECT_EQ(count, 0) << "allocation " << gFailAt << " failed";
    ++attempts;
  }
  // The list, ten filters and their labels: at least one allocation each way to fail.
  EXPECT_GE(attempts, 11);
}

}  // namespace
}  // namespace veilmere
