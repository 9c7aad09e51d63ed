#pragma once
// The rule every text the module hands out is copied by, as strncpy copies: into a buffer of
// `length` bytes go the text's first `length` bytes, then NUL bytes up to `length`. So a
// text as long as the buffer, or longer, is not terminated, and nothing past `length` is
// written.

#include <cstddef>
#include <string>

namespace veilmere::test {

// The `length` bytes a copy of `text` must leave.
inline std::string StrncpyResult(const std::string& text, std::size_t length) {
  std::string bytes = text.substr(0, length);
  bytes.resize(length, '\0');
  return bytes;
}

}  // namespace veilmere::test
