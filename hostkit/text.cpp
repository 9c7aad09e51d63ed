#include "hostkit/text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace veilmere::hostkit {

#if defined(_WIN32)
namespace {

std::wstring Widen(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (wide <= 0) return {};
  std::wstring out(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), wide);
  return out;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) { return Widen(text, CP_UTF8); }

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), size, nullptr, nullptr);
  return out;
}

std::string Cp932ToUtf8(std::string_view bytes) { return Utf8FromWide(Widen(bytes, 932)); }

std::wstring WindowsPath(const std::string& path) {
  std::wstring out;
  if (!path.empty() && path[0] == '/') {
    using UnixToDos = WCHAR*(__cdecl*)(const char*);
    static const auto unixToDos = reinterpret_cast<UnixToDos>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (unixToDos != nullptr) {
      if (WCHAR* dos = unixToDos(path.c_str()); dos != nullptr) {
        out = dos;
        HeapFree(GetProcessHeap(), 0, dos);
      }
    }
  }
  if (out.empty()) out = WideFromUtf8(path);
  for (wchar_t& c : out) {
    if (c == L'/') c = L'\\';
  }
  return out;
}

std::string SystemMessage(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length != 0 ? Utf8FromWide({text, length}) : std::string();
  LocalFree(text);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) message = "system error";
  return message + " (error " + std::to_string(error) + ")";
}

#else

std::string Cp932ToUtf8(std::string_view bytes) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
  iconv_t converter = ::iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    // No CP932 converter installed: keep ASCII, replace the rest.
    std::string out;
    for (const char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out += c;
      } else {
        out += kReplacement;
      }
    }
    return out;
  }
  std::string out;
  std::string in(bytes);
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t done = ::iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (done != static_cast<std::size_t>(-1) || error == E2BIG) continue;
    // An invalid or cut-off sequence: one replacement character for its first byte.
    out += kReplacement;
    ++inPtr;
    --inLeft;
  }
  ::iconv_close(converter);
  return out;
}

#endif

}  // namespace veilmere::hostkit
