#pragma once
// Text a host converts: a module's labels (code page 932) for showing as UTF-8, and, on
// Windows, UTF-8 text and paths for the system's UTF-16 interfaces.

#include <string>
#include <string_view>

namespace veilmere::hostkit {

// Code page 932 (Shift_JIS, as Windows defines it) to UTF-8. Bytes that are not code page 932
// become a replacement character (U+FFFD, or what Windows substitutes); never fails.
std::string Cp932ToUtf8(std::string_view bytes);

#if defined(_WIN32)

// UTF-8 to UTF-16 and back.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The Windows name of a UTF-8 path. Under Wine a path starting with '/' is a Unix path, which
// Wine's own kernel32 maps to its drive letter (normally Z:); Windows itself has no such
// function, and there the path is used as given. Slashes become backslashes, which every
// Windows API accepts.
std::wstring WindowsPath(const std::string& path);

// The system's text for an error code, without its final full stop, and the code itself:
// "The specified module could not be found (error 126)".
std::string SystemMessage(unsigned long error);

#endif

}  // namespace veilmere::hostkit
