#include "tests/support/guarded_image.h"

#include <cstdlib>

#include "tests/support/test_image.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace veilmere::test {

namespace {

// A test cannot go on without its memory; failing loudly beats a null dereference later.
[[noreturn]] void OutOfMemory() { std::abort(); }

#if defined(_WIN32)

void* MapReadWrite(std::size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}
bool Fence(void* page, std::size_t bytes) {
  DWORD old = 0;
  return VirtualProtect(page, bytes, PAGE_NOACCESS, &old) != 0;
}
void Unmap(void* mapping, std::size_t) { VirtualFree(mapping, 0, MEM_RELEASE); }

#else

void* MapReadWrite(std::size_t bytes) {
  void* mapping = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return mapping == MAP_FAILED ? nullptr : mapping;
}
bool Fence(void* page, std::size_t bytes) { return mprotect(page, bytes, PROT_NONE) == 0; }
void Unmap(void* mapping, std::size_t bytes) { munmap(mapping, bytes); }

#endif

}  // namespace

std::size_t GuardedBlock::PageSize() {
#if defined(_WIN32)
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
#else
  return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
}

bool GuardedBlock::IsInaccessible(const void* address) {
#if defined(_WIN32)
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(address, &info, sizeof info) == 0) return true;
  return info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0;
#else
  // The kernel reads the byte for write(): EFAULT means the page cannot be read, and on this
  // platform a page that cannot be read cannot be written either.
  int fds[2];
  if (pipe(fds) != 0) return false;
  const ssize_t written = write(fds[1], address, 1);
  const bool fault = written < 0 && errno == EFAULT;
  close(fds[0]);
  close(fds[1]);
  return fault;
#endif
}

GuardedBlock::GuardedBlock(std::size_t bytes, Flush flush) : bytes_(bytes) {
  const std::size_t page = PageSize();
  const std::size_t dataPages = (bytes + page - 1) / page;
  mappingBytes_ = (dataPages + 2) * page;
  mapping_ = MapReadWrite(mappingBytes_);
  if (mapping_ == nullptr) OutOfMemory();
  auto* first = static_cast<std::byte*>(mapping_);
  std::byte* trailingFence = first + (dataPages + 1) * page;
  if (!Fence(first, page) || !Fence(trailingFence, page)) OutOfMemory();
  data_ = flush == Flush::kEnd ? trailingFence - bytes : first + page;
}

GuardedBlock::~GuardedBlock() { Unmap(mapping_, mappingBytes_); }

GuardedImage::GuardedImage(std::int32_t width, std::int32_t height, std::int32_t stride,
                           bool bottomUp, Flush flush)
    : width_(width),
      height_(height),
      stride_(stride),
      bottomUp_(bottomUp),
      block_(height > 0 ? (std::size_t(height - 1) * stride + width) * sizeof(Pixel) : 0, flush),
      origin_(bottomUp && height > 0 ? memory() + std::size_t(height - 1) * stride : memory()) {}

void GuardedImage::Coordinates(std::size_t i, std::int32_t& x, std::int32_t& y) const {
  const auto row = static_cast<std::int32_t>(i / std::size_t(stride_));
  x = static_cast<std::int32_t>(i % std::size_t(stride_));
  y = bottomUp_ ? height_ - 1 - row : row;
}

void GuardedImage::FillRandom(std::uint32_t seed) {
  FillRandomPixels(memory(), memory() + pixelCount(), seed);
}

}  // namespace veilmere::test
