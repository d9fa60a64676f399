// The Win32 window under Wine's display: the controls of the layout table where the table puts
// them, driven as the operator drives them, and the program itself started and closed.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <thread>

#include "app/FInstall.h"
#include "app/win32/native_window.h"
#include "app/win32/win32_operator.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/text.h"
#include "tests/app/support/scripted_operator.h"
#include "tests/win32/scratch_folder.h"

namespace nx {
namespace {

using test::ScratchFolder;

std::wstring W(const std::string& s) {
  const std::u16string u = Utf8ToUtf16(s);
  return std::wstring(u.begin(), u.end());
}

std::string TextOf(HWND h) {
  wchar_t text[512];
  const int n = ::GetWindowTextW(h, text, 512);
  return Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<size_t>(n)));
}

// The child's rectangle in its parent's client coordinates.
RECT InParent(HWND child) {
  RECT r;
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void WriteSettings(const std::string& folder) {
  CurrentPlatform().files->WriteFile(
      folder + "nxSetup.ini",
      ToSystemCodePage("[APLICACION]\r\nAPLICACION=nxGestion\r\nEJECUTABLE=nxGestion.exe\r\n"
                       "NOMBRE=Gestión Norvexa\r\nVERSION=1.3.0\r\nFIREBIRD=3\r\nMUESTRA=S\r\n"));
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteSettings(dir_.path());
    form_.SetProgramFolder(dir_.path());
    window_ = std::make_unique<NativeWindow>(form_);
    form_.FormCreate();
    window_->ShowCentred();
    Settle();
  }

  void Settle() {
    for (int i = 0; i < 5; ++i) {
      window_->ProcessMessages();
      ::Sleep(20);
    }
  }

  ScratchFolder dir_;
  ScriptedOperator operador_;
  TFInstalacion form_{operador_};
  std::unique_ptr<NativeWindow> window_;
};

TEST_F(WindowTest, TheLayoutOfTheTable) {
  HWND form = window_->Handle();
  RECT client, outer;
  ::GetClientRect(form, &client);
  ::GetWindowRect(form, &outer);
  EXPECT_EQ(client.bottom, 392);
  EXPECT_EQ(client.right, form_.ClientWidth());
  EXPECT_EQ(outer.right - outer.left, 605);
  EXPECT_TRUE(::GetWindowLongW(form, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  const LONG style = ::GetWindowLongW(form, GWL_STYLE);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_EQ(TextOf(form), "Gestión Norvexa");

  const struct {
    const TControl& control;
    RECT expected;  // left, top, right, bottom in the parent
    bool visible;
  } table[] = {
      {form_.Imagen, {0, 0, 135, 392}, true},
      {form_.Titulo, {137, 3, 137 + 456, 3 + 28}, true},
      {form_.Panel1, {151, 34, 151 + 433, 34 + 353}, true},
      {form_.opciones, {11, 22, 11 + 414, 22 + 85}, true},
      {form_.Path, {11, 141, 11 + 389, 141 + 19}, true},
      {form_.CambiaCarpeta, {406, 137, 406 + 22, 137 + 25}, true},
      {form_.Host, {11, 193, 11 + 148, 193 + 19}, true},
      {form_.LPuerto, {175, 193, 175 + 45, 193 + 19}, true},
      {form_.Escritorio, {11, 218, 11 + 253, 218 + 17}, true},
      {form_.CheckInicio, {11, 241, 11 + 253, 241 + 17}, true},
      {form_.CkMuestra, {11, 265, 11 + 253, 265 + 17}, true},
      {form_.BSoporte, {313, 168, 313 + 93, 168 + 79}, false},
      {form_.PBar, {11, 298, 11 + 414, 298 + 17}, false},
      {form_.Llinea, {11, 321, 11 + 414, 321 + 19}, false},
      {form_.Botones, {87, 306, 87 + 259, 306 + 40}, true},
  };
  for (const auto& row : table) {
    HWND h = window_->HandleOf(row.control);
    ASSERT_NE(h, nullptr) << row.control.Name();
    const RECT r = InParent(h);
    EXPECT_EQ(r.left, row.expected.left) << row.control.Name();
    EXPECT_EQ(r.top, row.expected.top) << row.control.Name();
    EXPECT_EQ(r.right, row.expected.right) << row.control.Name();
    EXPECT_EQ(r.bottom, row.expected.bottom) << row.control.Name();
    EXPECT_EQ(::IsWindowVisible(h) != FALSE, row.visible) << row.control.Name();
  }
  EXPECT_EQ(TextOf(window_->HandleOf(form_.Titulo)), "Instalación de Gestión Norvexa Ver. 1.3.0");
  // The start-up checks ran at activation and chose the folder and the port the boxes show.
  EXPECT_EQ(TextOf(window_->HandleOf(form_.Path)), form_.Path.Text());
  EXPECT_EQ(TextOf(window_->HandleOf(form_.LPuerto)), form_.LPuerto.Text());
  EXPECT_EQ(TextOf(window_->HandleOf(form_.LPuerto)), std::to_string(form_.puerto));
  EXPECT_TRUE(::GetWindowLongW(window_->HandleOf(form_.LPuerto), GWL_STYLE) & ES_READONLY);
  HWND label = window_->LabelOf(form_.Path);
  EXPECT_EQ(TextOf(label), "Carpeta de Instalación");
  EXPECT_EQ(InParent(label).bottom, 141 - TLabeledEdit::LabelSpacing);
  EXPECT_EQ(::SendMessageW(window_->HandleOf(form_.opciones), LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(::SendMessageW(window_->HandleOf(form_.CSoporte), CB_GETCOUNT, 0, 0), 6);

  // The font: Tahoma at 11 pixels.
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(window_->HandleOf(form_.Path), WM_GETFONT, 0, 0));
  LOGFONTW lf;
  ASSERT_EQ(::GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
  EXPECT_EQ(lf.lfHeight, -11);
  EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
  HDC dc = ::GetDC(window_->Handle());
  HGDIOBJ old = ::SelectObject(dc, font);
  wchar_t face[LF_FACESIZE];
  ::GetTextFaceW(dc, LF_FACESIZE, face);
  ::SelectObject(dc, old);
  ::ReleaseDC(window_->Handle(), dc);
  EXPECT_STREQ(face, L"Tahoma");  // the system's own, not a substitute

  const char* shot = std::getenv("NX_SCREENSHOT");
  if (shot != nullptr) {
    EXPECT_TRUE(window_->SaveScreenshot(std::string("Z:") + shot)) << shot;
  }
}

TEST_F(WindowTest, TheOperatorsInputReachesTheWindow) {
  // Typing into the folder box.
  ::SetWindowTextW(window_->HandleOf(form_.Path), L"D:\\Norvexa\\");
  EXPECT_EQ(form_.Path.Text(), "D:\\Norvexa\\");
  // A check box clicked.
  ::SendMessageW(window_->HandleOf(form_.Escritorio), BM_CLICK, 0, 0);
  EXPECT_FALSE(form_.Escritorio.Checked());
  // A click on the first item's tick box.
  HWND list = window_->HandleOf(form_.opciones);
  ASSERT_TRUE(form_.opciones.Checked(0));
  ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 6));
  ::SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(6, 6));
  EXPECT_FALSE(form_.opciones.Checked(0));
  EXPECT_TRUE(form_.opciones.Checked(1));
  // A change made by the window shows at once.
  form_.PBar.SetVisible(true);
  EXPECT_TRUE(::IsWindowVisible(window_->HandleOf(form_.PBar)));
  form_.Llinea.SetText("10/12/2026 9:05:03 : Instalando");
  EXPECT_EQ(TextOf(window_->HandleOf(form_.Llinea)), "10/12/2026 9:05:03 : Instalando");
}

TEST_F(WindowTest, CtrlAltLRevealsRemoteSupport) {
  HWND form = window_->Handle();
  ::SetForegroundWindow(form);
  ::SetFocus(window_->HandleOf(form_.Host));
  Settle();
  INPUT keys[6];
  ZeroMemory(keys, sizeof keys);
  const WORD sequence[3] = {VK_CONTROL, VK_MENU, 'L'};
  for (int i = 0; i < 3; ++i) {
    keys[i].type = keys[5 - i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = keys[5 - i].ki.wVk = sequence[i];
    keys[5 - i].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  ASSERT_EQ(::SendInput(6, keys, sizeof(INPUT)), 6u);
  Settle();
  // Action1Execute shows the support button and the technician list (when it is wired).
  if (form_.Action1.OnExecute) {
    EXPECT_TRUE(form_.BSoporte.Visible());
    EXPECT_TRUE(::IsWindowVisible(window_->HandleOf(form_.BSoporte)));
  }
}

TEST_F(WindowTest, CancelarAndTheCloseBoxCloseTheWindow) {
  ::SendMessageW(window_->HandleOf(form_.BCancelar), BM_CLICK, 0, 0);
  Settle();
  EXPECT_TRUE(form_.Closed());
  EXPECT_FALSE(::IsWindowVisible(window_->Handle()));
}

TEST_F(WindowTest, TheCloseBoxClosesAsCancelarDoes) {
  ::SendMessageW(window_->Handle(), WM_CLOSE, 0, 0);
  Settle();
  EXPECT_TRUE(form_.Closed());
}

// A message box of this process, found from another thread.
BOOL CALLBACK FindBox(HWND w, LPARAM found) {
  wchar_t cls[16];
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  if (pid != ::GetCurrentProcessId() || !::GetClassNameW(w, cls, 16) || std::wstring(cls) != L"#32770") return TRUE;
  *reinterpret_cast<HWND*>(found) = w;
  return FALSE;
}

struct SeenBox {
  std::string caption, text;
  LONG style = 0;
  bool hasCancel = false;
};

// Waits for the next message box, notes what it shows and presses the button.
std::thread Press(int button, SeenBox& seen) {
  return std::thread([button, &seen] {
    HWND box = nullptr;
    for (int i = 0; i < 200 && box == nullptr; ++i) {
      ::EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&box));
      if (box == nullptr) ::Sleep(50);
    }
    if (box == nullptr) return;
    ::Sleep(100);
    seen.caption = TextOf(box);
    seen.text = TextOf(::GetDlgItem(box, 0xFFFF));
    seen.hasCancel = ::GetDlgItem(box, IDCANCEL) != nullptr;
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  });
}

TEST(Win32OperatorBoxes, MessagesAndQuestionsAreTheSystemsBoxes) {
  Win32Operator operador;
  SeenBox seen;
  std::thread t = Press(IDOK, seen);
  operador.ShowMessage("Primera línea\rSegunda");
  t.join();
  EXPECT_EQ(seen.caption, "Norvexa Setup.");
  EXPECT_EQ(seen.text, "Primera línea\r\nSegunda");

  t = Press(IDNO, seen);
  EXPECT_EQ(operador.AskYesNo("¿Reinstalar el servidor?", "Atención"), Answer::kNo);
  t.join();
  EXPECT_EQ(seen.caption, "Atención");
  EXPECT_FALSE(seen.hasCancel);

  t = Press(IDYES, seen);
  EXPECT_EQ(operador.AskYesNo("¿Seguro?", "Atención"), Answer::kYes);
  t.join();

  t = Press(IDCANCEL, seen);
  EXPECT_EQ(operador.AskYesNoCancel("¿Conservar los datos?", "Datos"), Answer::kCancel);
  t.join();
  EXPECT_TRUE(seen.hasCancel);
}

BOOL CALLBACK FindCancelar(HWND child, LPARAM found) {
  if (TextOf(child) != "Cancelar") return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

// The program itself, from a medium folder with its settings file: its window opens with the
// settings' caption and "Cancelar" ends the process.
TEST(NxSetupProgram, StartsShowsItsWindowAndEndsOnCancelar) {
  ScratchFolder medium;
  WriteSettings(medium.path());
  CurrentPlatform().files->CopyFile(ProgramFolder() + "nxSetup.exe", medium.path() + "nxSetup.exe", false);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring line = L"\"" + W(medium.path() + "nxSetup.exe") + L"\"";
  ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  ::WaitForInputIdle(pi.hProcess, 30000);
  HWND form = nullptr;
  for (int i = 0; i < 300 && form == nullptr; ++i) {
    form = ::FindWindowW(L"NxSetupForm", L"Gestión Norvexa");
    if (form == nullptr) ::Sleep(100);
  }
  ASSERT_NE(form, nullptr) << "no window";
  EXPECT_TRUE(::IsWindowVisible(form));
  HWND cancelar = nullptr;
  ::EnumChildWindows(form, &FindCancelar, reinterpret_cast<LPARAM>(&cancelar));
  ASSERT_NE(cancelar, nullptr);
  ::PostMessageW(cancelar, BM_CLICK, 0, 0);
  ASSERT_EQ(::WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  ::GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
}

}  // namespace
}  // namespace nx
