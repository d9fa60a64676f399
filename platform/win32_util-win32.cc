#include "platform/error.h"
#include "platform/text.h"
#include "platform/win32_parts.h"

namespace nx {

std::wstring Wide(const std::string& utf8) {
  const std::u16string u = Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

std::string Utf8(const wchar_t* text, size_t length) {
  return Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(text), length));
}

std::string Utf8(const std::wstring& text) { return Utf8(text.data(), text.size()); }

void ThrowWin32(DWORD code, const std::string& context) { throw OsError(code, context); }

void ThrowLastError(const std::string& context) { ThrowWin32(::GetLastError(), context); }

}  // namespace nx
