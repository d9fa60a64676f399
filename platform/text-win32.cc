#include <windows.h>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/text_native.h"

namespace nx {

int SystemCodePage() { return static_cast<int>(::GetACP()); }

std::optional<std::string> NativeUtf8ToCodePage(const std::string& utf8, int codePage) {
  if (utf8.empty()) return std::string();
  const std::u16string wide = Utf8ToUtf16(utf8);
  const auto* w = reinterpret_cast<const wchar_t*>(wide.data());
  const int units = static_cast<int>(wide.size());
  // No best fit: a character the code page cannot hold is a failure, never a look-alike or '?'.
  BOOL lossy = FALSE;
  const int length = ::WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, w,
                                           units, nullptr, 0, nullptr, &lossy);
  if (length == 0) {
    if (::GetLastError() == ERROR_INVALID_PARAMETER) {
      throw OsError(kErrorInvalidParameter, "página de códigos " + std::to_string(codePage));
    }
    return std::nullopt;
  }
  if (lossy) return std::nullopt;
  std::string out(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(static_cast<UINT>(codePage), WC_NO_BEST_FIT_CHARS, w, units, out.data(),
                        length, nullptr, &lossy);
  if (lossy) return std::nullopt;
  return out;
}

std::string NativeCodePageToUtf8(const std::string& bytes, int codePage) {
  if (bytes.empty()) return std::string();
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(static_cast<UINT>(codePage), 0, bytes.data(), size, nullptr, 0);
  if (length == 0) throw OsError(::GetLastError(), "página de códigos " + std::to_string(codePage));
  std::u16string wide(static_cast<size_t>(length), u'\0');
  ::MultiByteToWideChar(static_cast<UINT>(codePage), 0, bytes.data(), size,
                        reinterpret_cast<wchar_t*>(wide.data()), length);
  return Utf16ToUtf8(wide);
}

}  // namespace nx
