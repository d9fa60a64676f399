#include "app/win32/win32_operator.h"

#include <shlobj.h>

#include "app/application.h"
#include "app/win32/native_window.h"
#include "platform/text.h"

namespace nx {

namespace {

std::wstring W(const std::string& utf8) {
  const std::u16string u = Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

}  // namespace

void Win32Operator::ShowMessage(const std::string& text) {
  ::MessageBoxW(owner_, ToWindowsText(text).c_str(), W(kApplicationTitle).c_str(), MB_OK);
}

Answer Win32Operator::AskYesNo(const std::string& text, const std::string& caption) {
  const int r = ::MessageBoxW(owner_, ToWindowsText(text).c_str(), W(caption).c_str(), MB_YESNO | MB_ICONQUESTION);
  return r == IDYES ? Answer::kYes : Answer::kNo;
}

Answer Win32Operator::AskYesNoCancel(const std::string& text, const std::string& caption) {
  switch (::MessageBoxW(owner_, ToWindowsText(text).c_str(), W(caption).c_str(), MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES: return Answer::kYes;
    case IDNO: return Answer::kNo;
    default: return Answer::kCancel;
  }
}

std::optional<std::string> Win32Operator::BrowseForFolder(const std::string& title) {
  const std::wstring wtitle = W(title);
  wchar_t display[MAX_PATH];
  BROWSEINFOW bi;
  ZeroMemory(&bi, sizeof bi);
  bi.hwndOwner = owner_;
  bi.pszDisplayName = display;
  bi.lpszTitle = wtitle.c_str();
  // Only file-system folders; the new-style dialog can make a new folder.
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  LPITEMIDLIST chosen = ::SHBrowseForFolderW(&bi);
  if (chosen == nullptr) return std::nullopt;
  wchar_t path[MAX_PATH];
  const bool ok = ::SHGetPathFromIDListW(chosen, path) != FALSE;
  ::CoTaskMemFree(chosen);
  if (!ok) return std::nullopt;
  return Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(path)));
}

}  // namespace nx
