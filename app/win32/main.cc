// nxSetup.exe: the setup program on Windows. One window; the message loop runs until it closes.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "app/FInstall.h"
#include "app/application.h"
#include "app/win32/native_window.h"
#include "app/win32/win32_operator.h"
#include "platform/error.h"
#include "platform/program.h"
#include "platform/text.h"

namespace {

std::wstring W(const std::string& utf8) {
  const std::u16string u = nx::Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

void Report(HWND owner, const std::string& text) {
  ::MessageBoxW(owner, nx::ToWindowsText(text).c_str(), W(nx::kApplicationTitle).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The shortcuts and the folder browser rely on COM on this thread.
  ::CoInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);

  int result = 0;
  try {
    nx::Win32Operator operador;
    nx::TFInstalacion form(operador);
    form.SetProgramFolder(nx::ProgramFolder());
    nx::NativeWindow window(form);
    operador.SetOwner(window.Handle());
    try {
      form.FormCreate();
    } catch (const std::exception& e) {
      // As a creation handler's error always was: reported, and the window opens all the same.
      Report(window.Handle(), e.what());
    }
    window.ShowCentred();
    if (!form.Closed()) window.Run();
    form.FormDestroy();
  } catch (const std::exception& e) {
    Report(nullptr, e.what());
    result = 2;
  }
  ::CoUninitialize();
  return result;
}
