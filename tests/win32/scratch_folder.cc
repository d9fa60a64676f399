#include "tests/win32/scratch_folder.h"

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <stdexcept>

#include "platform/text.h"

namespace nx::test {

namespace {

std::wstring W(const std::string& s) {
  const std::u16string u = Utf8ToUtf16(s);
  return std::wstring(u.begin(), u.end());
}

}  // namespace

ScratchFolder::ScratchFolder() {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0) throw std::runtime_error("GetTempPathW failed");
  const std::u16string t(reinterpret_cast<const char16_t*>(temp), n);
  path_ = Utf16ToUtf8(t) + "nxtest-" + std::to_string(::GetCurrentProcessId()) + "-" +
          std::to_string(::GetTickCount()) + "-" + std::to_string(counter++) + "\\";
  if (!::CreateDirectoryW(W(path_).c_str(), nullptr)) throw std::runtime_error("cannot create " + path_);
}

ScratchFolder::~ScratchFolder() {
  // SHFileOperation wants the name ended by two NULs.
  std::wstring from = W(path_.substr(0, path_.size() - 1));
  from.push_back(L'\0');
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  ::SHFileOperationW(&op);
}

std::string ReadWholeFile(const std::string& path) {
  HANDLE h = ::CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  ::CloseHandle(h);
  return bytes;
}

}  // namespace nx::test
