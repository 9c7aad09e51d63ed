#pragma once
// Memory fenced by inaccessible pages, so that a read or write one byte outside a buffer or an
// image faults at once instead of going unnoticed: mmap/mprotect natively,
// VirtualAlloc/VirtualProtect on Windows (and under Wine).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/host_api.h"

namespace veilmere::test {

// Which end of a block lies flush against its inaccessible page. Both ends are fenced, but
// unless the size is a whole number of pages the other end has up to a page less one byte of
// slack before its fence; a test runs each case once with each placement.
enum class Flush { kEnd, kStart };

// `bytes` readable and writable bytes between two inaccessible pages. With Flush::kEnd the
// byte after the last lies on an inaccessible page, with Flush::kStart the byte before the
// first. A block of 0 bytes is a pointer to the start of an inaccessible page.
class GuardedBlock {
 public:
  GuardedBlock(std::size_t bytes, Flush flush);
  ~GuardedBlock();
  GuardedBlock(const GuardedBlock&) = delete;
  GuardedBlock& operator=(const GuardedBlock&) = delete;

  std::byte* data() const { return data_; }
  std::size_t size() const { return bytes_; }

  // The system's page size, the unit of protection.
  static std::size_t PageSize();
  // True when the byte at `address` can be neither read nor written.
  static bool IsInaccessible(const void* address);

 private:
  void* mapping_ = nullptr;
  std::size_t mappingBytes_ = 0;
  std::byte* data_ = nullptr;
  std::size_t bytes_ = 0;
};

// An image of width x height pixels in a guarded block holding exactly its pixels: `stride`
// (>= width) pixels from one row to the next, and no padding after the last row in memory, so
// that its last pixel is the block's last. A top-down image is handed to the module as its
// first row in memory and row length `stride`; a bottom-up image as its last row in memory
// and row length -stride. at(x, y) is the pixel the module addresses as column x of row y.
class GuardedImage {
 public:
  GuardedImage(std::int32_t width, std::int32_t height, std::int32_t stride, bool bottomUp,
               Flush flush);

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  std::int32_t stride() const { return stride_; }
  bool bottomUp() const { return bottomUp_; }

  // What a host passes to QFF_Execute for this image.
  Pixel* origin() const { return origin_; }
  std::int32_t rowLength() const { return bottomUp_ ? -stride_ : stride_; }

  Pixel& at(std::int32_t x, std::int32_t y) const {
    return origin_[std::ptrdiff_t{y} * rowLength() + x];
  }

  // Every pixel of the block in memory order, row padding included.
  Pixel* memory() const { return reinterpret_cast<Pixel*>(block_.data()); }
  std::size_t pixelCount() const { return block_.size() / sizeof(Pixel); }
  std::vector<Pixel> Snapshot() const { return {memory(), memory() + pixelCount()}; }
  // The image coordinates of the pixel at memory index `i`; x >= width for row padding.
  void Coordinates(std::size_t i, std::int32_t& x, std::int32_t& y) const;

  void FillRandom(std::uint32_t seed);

 private:
  std::int32_t width_;
  std::int32_t height_;
  std::int32_t stride_;
  bool bottomUp_;
  GuardedBlock block_;
  Pixel* origin_;
};

}  // namespace veilmere::test
