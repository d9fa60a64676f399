#include <windows.h>

#include "platform/error.h"
#include "platform/text.h"

namespace nx {

std::string SystemMessage(uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (length > 0 && buffer != nullptr) text.assign(reinterpret_cast<const char16_t*>(buffer), length);
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
    text.pop_back();
  }
  if (text.empty()) {
    return "Error del sistema " + std::to_string(code) + " (no hay texto para este código).";
  }
  return Utf16ToUtf8(text);
}

}  // namespace nx
