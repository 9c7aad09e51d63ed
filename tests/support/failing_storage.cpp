// Linked only into a test build of the module: the nothrow operator new, from which the
// creation table takes each filter's storage (one call per row, in row order), fails on the
// call whose 0-based number the environment variable VEILMERE_TEST_FAIL_CALL names when the
// module loads; so it fails for that row. Every other call is served by the ordinary operator
// new, so that ::operator delete releases it as usual.

#include <cstdlib>
#include <new>

namespace {

long CallToFail() {
  const char* text = std::getenv("VEILMERE_TEST_FAIL_CALL");
  return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : -1;
}

long calls = 0;

}  // namespace

void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  if (calls++ == CallToFail()) return nullptr;
  try {
    return ::operator new(bytes);
  } catch (...) {
    return nullptr;
  }
}
