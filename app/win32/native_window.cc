#include "app/win32/native_window.h"

#include <commctrl.h>
#include <objidl.h>
#include <ole2.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "app/application.h"
#include "app/win32/resources.h"
#include "platform/error.h"
#include "platform/text.h"

namespace nx {

namespace {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

constexpr wchar_t kFormClass[] = L"NxSetupForm";
constexpr wchar_t kPanelClass[] = L"NxSetupPanel";
constexpr wchar_t kPictureClass[] = L"NxSetupPicture";
constexpr int kFirstControlId = 100;
constexpr int kActionId = 50;
// The form's window style: a tool window with a caption and a close box, not resizable.
constexpr DWORD kFormStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;

std::wstring W(const std::string& utf8) {
  const std::u16string u = Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

std::string U(const std::wstring& w) {
  return Utf16ToUtf8(std::u16string(w.begin(), w.end()));
}

std::wstring TextOf(HWND h) {
  const int n = ::GetWindowTextLengthW(h);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(h, text.data(), n + 1)));
  return text;
}

COLORREF ToColorRef(TColor color) {
  if ((color & 0xFF000000u) == 0xFF000000u) return ::GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color & 0x00FFFFFF);
}

int GlyphResource(TGlyph glyph) {
  switch (glyph) {
    case TGlyph::kInstalar: return NX_GLYPH_INSTALAR;
    case TGlyph::kCancelar: return NX_GLYPH_CANCELAR;
    case TGlyph::kCarpeta: return NX_GLYPH_CARPETA;
    case TGlyph::kSoporte: return NX_GLYPH_SOPORTE;
    case TGlyph::kNone: break;
  }
  return 0;
}

// A PNG decoded by GDI+ from memory; null when it is no picture.
GpImage* DecodePng(const void* bytes, size_t size) {
  if (size == 0) return nullptr;
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (memory == nullptr) return nullptr;
  std::memcpy(::GlobalLock(memory), bytes, size);
  ::GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (::CreateStreamOnHGlobal(memory, TRUE, &stream) != S_OK) {
    ::GlobalFree(memory);
    return nullptr;
  }
  GpBitmap* bitmap = nullptr;
  const GpStatus status = GdipCreateBitmapFromStream(stream, &bitmap);
  stream->Release();
  return status == Ok ? bitmap : nullptr;
}

void DrawImage(HDC dc, GpImage* image, int x, int y) {
  if (image == nullptr) return;
  GpGraphics* g = nullptr;
  if (GdipCreateFromHDC(dc, &g) != Ok) return;
  UINT w = 0, h = 0;
  GdipGetImageWidth(image, &w);
  GdipGetImageHeight(image, &h);
  GdipDrawImageRectI(g, image, x, y, static_cast<INT>(w), static_cast<INT>(h));
  GdipDeleteGraphics(g);
}

SIZE ImageSize(GpImage* image) {
  UINT w = 0, h = 0;
  if (image != nullptr) {
    GdipGetImageWidth(image, &w);
    GdipGetImageHeight(image, &h);
  }
  return SIZE{static_cast<LONG>(w), static_cast<LONG>(h)};
}

void RegisterClasses(HINSTANCE instance) {
  static bool done = false;
  if (done) return;
  WNDCLASSEXW wc;
  ZeroMemory(&wc, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;
  for (const wchar_t* name : {kFormClass, kPanelClass, kPictureClass}) {
    wc.lpszClassName = name;
    ::RegisterClassExW(&wc);
  }
  done = true;
}

}  // namespace

std::wstring ToWindowsText(const std::string& utf8) {
  std::wstring w = W(utf8);
  std::wstring out;
  out.reserve(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    if (w[i] == L'\r') {
      out += L"\r\n";
      if (i + 1 < w.size() && w[i + 1] == L'\n') ++i;
    } else if (w[i] == L'\n') {
      out += L"\r\n";
    } else {
      out += w[i];
    }
  }
  return out;
}

NativeWindow::NativeWindow(TFInstalacion& form) : form_(form) {
  GdiplusStartupInput input;
  ZeroMemory(&input, sizeof input);
  input.GdiplusVersion = 1;
  GdiplusStartup(&gdiplus_, &input, nullptr);

  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  RegisterClasses(instance);
  hwnd_ = ::CreateWindowExW(kFormExStyle, kFormClass, L"", kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                            nullptr, nullptr, instance, nullptr);
  if (hwnd_ == nullptr) {
    const DWORD err = ::GetLastError();
    throw std::runtime_error("No se puede crear la ventana: " + SystemMessage(err));
  }
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));

  for (TControl* c : form.Controls()) Bind(*c);
  FormChanged();

  // The keyboard command: its stored value's virtual key and modifiers.
  const uint16_t shortCut = form.Action1.ShortCut;
  if ((shortCut & 0xFF) != 0) {
    ACCEL accel;
    accel.fVirt = FVIRTKEY;
    if (shortCut & TAction::kCtrl) accel.fVirt |= FCONTROL;
    if (shortCut & TAction::kAlt) accel.fVirt |= FALT;
    if (shortCut & TAction::kShift) accel.fVirt |= FSHIFT;
    accel.key = static_cast<WORD>(shortCut & 0xFF);
    accel.cmd = kActionId;
    accelerators_ = ::CreateAcceleratorTableW(&accel, 1);
  }
  form.SetView(this);
}

NativeWindow::~NativeWindow() {
  form_.SetView(nullptr);
  if (hwnd_ != nullptr && ::IsWindow(hwnd_)) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
  if (accelerators_ != nullptr) ::DestroyAcceleratorTable(accelerators_);
  for (auto& [key, font] : fonts_) ::DeleteObject(font);
  for (auto& [key, brush] : brushes_) ::DeleteObject(brush);
  for (auto& [key, image] : pictures_) GdipDisposeImage(static_cast<GpImage*>(image));
  for (auto& [key, image] : glyphs_) GdipDisposeImage(static_cast<GpImage*>(image));
  if (gdiplus_ != 0) GdiplusShutdown(gdiplus_);
}

HWND NativeWindow::HandleOf(const TControl& control) const {
  auto it = bindings_.find(&control);
  return it == bindings_.end() ? nullptr : it->second.hwnd;
}

HWND NativeWindow::LabelOf(const TLabeledEdit& edit) const {
  auto it = bindings_.find(&edit);
  return it == bindings_.end() ? nullptr : it->second.label;
}

template <typename F>
void NativeWindow::Guarded(F&& f) {
  // An error a handler raises is shown to the operator and the window carries on, as the
  // application's default error handler does.
  try {
    f();
  } catch (const std::exception& e) {
    ::MessageBoxW(hwnd_, ToWindowsText(e.what()).c_str(), W(kApplicationTitle).c_str(), MB_OK | MB_ICONERROR);
  }
}

HFONT NativeWindow::FontFor(const TFont& font) {
  const std::string key = font.Name + "/" + std::to_string(font.Pixels) + (font.Bold ? "b" : "");
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  // A negative height is the character height, as the font's pixel size means it.
  HFONT f = ::CreateFontW(-font.Pixels, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_SWISS, W(font.Name).c_str());
  fonts_[key] = f;
  return f;
}

HBRUSH NativeWindow::BrushFor(TColor color) {
  auto it = brushes_.find(color);
  if (it != brushes_.end()) return it->second;
  HBRUSH b = ::CreateSolidBrush(ToColorRef(color));
  brushes_[color] = b;
  return b;
}

void* NativeWindow::PictureFor(const std::string& png) {
  auto it = pictures_.find(png);
  if (it != pictures_.end()) return it->second;
  GpImage* image = DecodePng(png.data(), png.size());
  pictures_[png] = image;
  return image;
}

void* NativeWindow::GlyphFor(TGlyph glyph) {
  auto it = glyphs_.find(glyph);
  if (it != glyphs_.end()) return it->second;
  GpImage* image = nullptr;
  HMODULE self = ::GetModuleHandleW(nullptr);
  if (HRSRC r = ::FindResourceW(self, MAKEINTRESOURCEW(GlyphResource(glyph)), MAKEINTRESOURCEW(10))) {
    if (HGLOBAL data = ::LoadResource(self, r)) {
      image = DecodePng(::LockResource(data), ::SizeofResource(self, r));
    }
  }
  glyphs_[glyph] = image;
  return image;
}

void NativeWindow::Bind(TControl& control) {
  HWND parent = hwnd_;
  if (control.Parent() != nullptr) parent = bindings_.at(control.Parent()).hwnd;
  const int id = kFirstControlId + static_cast<int>(bindings_.size());
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  auto create = [&](DWORD exStyle, const wchar_t* cls, DWORD style) {
    return ::CreateWindowExW(exStyle, cls, L"", WS_CHILD | WS_CLIPSIBLINGS | style, control.Left(), control.Top(),
                             control.Width(), control.Height(), parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  Binding b;
  b.control = &control;
  if (auto* edit = dynamic_cast<TEdit*>(&control)) {
    b.hwnd = create(WS_EX_CLIENTEDGE, L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL);
    if (dynamic_cast<TLabeledEdit*>(edit) != nullptr) b.label = create(0, L"STATIC", SS_LEFT | SS_NOPREFIX);
  } else if (dynamic_cast<TLabel*>(&control) != nullptr) {
    b.hwnd = create(0, L"STATIC", SS_NOPREFIX);
  } else if (dynamic_cast<TPanel*>(&control) != nullptr) {
    b.hwnd = create(WS_EX_CONTROLPARENT, kPanelClass, WS_CLIPCHILDREN);
  } else if (dynamic_cast<TImage*>(&control) != nullptr) {
    b.hwnd = create(0, kPictureClass, 0);
  } else if (dynamic_cast<TCheckListBox*>(&control) != nullptr) {
    b.hwnd = create(WS_EX_CLIENTEDGE, L"LISTBOX",
                    WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT);
    ::SetWindowSubclass(b.hwnd, &CheckListProc, 1, reinterpret_cast<DWORD_PTR>(this));
  } else if (dynamic_cast<TCheckBox*>(&control) != nullptr) {
    b.hwnd = create(0, L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX);
  } else if (dynamic_cast<TSpeedButton*>(&control) != nullptr) {
    // Speed buttons never take the focus: drawn by us, clicked by the mouse.
    b.hwnd = create(0, L"BUTTON", BS_OWNERDRAW);
  } else if (dynamic_cast<TComboBox*>(&control) != nullptr) {
    // The height given to a combo box is that of its open list.
    b.hwnd = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                               control.Left(), control.Top(), control.Width(), 160, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  } else if (dynamic_cast<TProgressBar*>(&control) != nullptr) {
    b.hwnd = create(0, PROGRESS_CLASSW, 0);
  } else {
    return;
  }
  if (b.hwnd == nullptr) {
    throw std::runtime_error("No se puede crear el control " + control.Name() + ": " + SystemMessage(::GetLastError()));
  }
  ::SetWindowLongPtrW(b.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (dynamic_cast<TPanel*>(&control) != nullptr || dynamic_cast<TImage*>(&control) != nullptr) {
    ::SetWindowLongPtrW(b.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
  }
  byHandle_[b.hwnd] = &control;
  if (b.label != nullptr) byHandle_[b.label] = &control;
  auto& stored = bindings_[&control] = b;
  ++syncing_;
  Sync(stored);
  --syncing_;
}

void NativeWindow::Sync(const Binding& b) {
  TControl& c = *b.control;
  HWND h = b.hwnd;
  ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c.Font())), FALSE);
  if (dynamic_cast<TComboBox*>(&c) == nullptr) {
    ::SetWindowPos(h, nullptr, c.Left(), c.Top(), c.Width(), c.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    ::SetWindowPos(h, nullptr, c.Left(), c.Top(), c.Width(), 160, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  auto setText = [](HWND w, const std::wstring& text) {
    if (TextOf(w) != text) ::SetWindowTextW(w, text.c_str());
  };

  if (auto* edit = dynamic_cast<TEdit*>(&c)) {
    setText(h, W(edit->Text()));
    ::SendMessageW(h, EM_SETREADONLY, edit->ReadOnly(), 0);
    if (auto* labelled = dynamic_cast<TLabeledEdit*>(edit)) {
      HFONT font = FontFor(edit->Font());
      ::SendMessageW(b.label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      const std::wstring caption = W(labelled->LabelCaption());
      setText(b.label, caption);
      // Sized to its text, its bottom LabelSpacing above the edit.
      HDC dc = ::GetDC(b.label);
      HGDIOBJ old = ::SelectObject(dc, font);
      SIZE size{0, 0};
      ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
      TEXTMETRICW tm;
      ::GetTextMetricsW(dc, &tm);
      ::SelectObject(dc, old);
      ::ReleaseDC(b.label, dc);
      ::SetWindowPos(b.label, nullptr, edit->Left(), edit->Top() - tm.tmHeight - TLabeledEdit::LabelSpacing,
                     size.cx + 1, tm.tmHeight, SWP_NOZORDER | SWP_NOACTIVATE);
      ::ShowWindow(b.label, edit->Visible() ? SW_SHOWNA : SW_HIDE);
    }
  } else if (auto* label = dynamic_cast<TLabel*>(&c)) {
    LONG_PTR style = ::GetWindowLongPtrW(h, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
    style |= label->Alignment() == TAlignment::taCenter ? SS_CENTER
             : label->Alignment() == TAlignment::taRightJustify ? SS_RIGHT
                                                                : SS_LEFT;
    ::SetWindowLongPtrW(h, GWL_STYLE, style);
    const std::wstring caption = W(label->Caption());
    setText(h, caption);
    if (label->AutoSize()) {
      HDC dc = ::GetDC(h);
      HGDIOBJ old = ::SelectObject(dc, FontFor(label->Font()));
      SIZE size{0, 0};
      ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
      ::SelectObject(dc, old);
      ::ReleaseDC(h, dc);
      ::SetWindowPos(h, nullptr, 0, 0, size.cx + 1, size.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
  } else if (auto* panel = dynamic_cast<TPanel*>(&c)) {
    LONG_PTR style = ::GetWindowLongPtrW(h, GWL_STYLE);
    style = panel->Border() == TPanelBorder::kFlat ? (style | WS_BORDER) : (style & ~static_cast<LONG_PTR>(WS_BORDER));
    ::SetWindowLongPtrW(h, GWL_STYLE, style);
    ::SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED | SWP_NOACTIVATE);
  } else if (auto* image = dynamic_cast<TImage*>(&c)) {
    // A picture the decoder refuses gives way to the built-in banner.
    if (!image->Picture().empty() && PictureFor(image->Picture()) == nullptr && image == &form_.Imagen &&
        image->Picture() != form_.Copia.Picture()) {
      form_.Imagen.SetPicture(form_.Copia.Picture());
      return;
    }
  } else if (auto* list = dynamic_cast<TCheckListBox*>(&c)) {
    const auto& items = list->Items();
    const int count = static_cast<int>(::SendMessageW(h, LB_GETCOUNT, 0, 0));
    bool same = count == static_cast<int>(items.size());
    for (int i = 0; same && i < count; ++i) {
      const int n = static_cast<int>(::SendMessageW(h, LB_GETTEXTLEN, i, 0));
      std::wstring text(static_cast<size_t>(n) + 1, L'\0');
      ::SendMessageW(h, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
      text.resize(static_cast<size_t>(n));
      same = text == W(items[i]);
    }
    if (!same) {
      ::SendMessageW(h, LB_RESETCONTENT, 0, 0);
      for (const auto& item : items) ::SendMessageW(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item).c_str()));
    }
    ::SendMessageW(h, LB_SETITEMHEIGHT, 0, list->ItemHeight());
  } else if (auto* box = dynamic_cast<TCheckBox*>(&c)) {
    setText(h, W(box->Caption()));
    ::SendMessageW(h, BM_SETCHECK, box->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
  } else if (auto* button = dynamic_cast<TSpeedButton*>(&c)) {
    setText(h, W(button->Caption()));
  } else if (auto* combo = dynamic_cast<TComboBox*>(&c)) {
    const auto& items = combo->Items();
    const int count = static_cast<int>(::SendMessageW(h, CB_GETCOUNT, 0, 0));
    if (count != static_cast<int>(items.size())) {
      ::SendMessageW(h, CB_RESETCONTENT, 0, 0);
      for (const auto& item : items) ::SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item).c_str()));
    }
    ::SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(combo->ItemIndex()), 0);
    setText(h, W(combo->Text()));
  } else if (auto* bar = dynamic_cast<TProgressBar*>(&c)) {
    // An empty range is an empty bar.
    const int high = std::max(bar->Max(), bar->Min() + 1);
    ::SendMessageW(h, PBM_SETRANGE32, static_cast<WPARAM>(bar->Min()), high);
    ::SendMessageW(h, PBM_SETPOS, static_cast<WPARAM>(std::clamp(bar->Position(), bar->Min(), high)), 0);
  }
  ::ShowWindow(h, c.Visible() ? SW_SHOWNA : SW_HIDE);
  ::InvalidateRect(h, nullptr, TRUE);
}

void NativeWindow::ControlChanged(const TControl& control) {
  auto it = bindings_.find(&control);
  if (it == bindings_.end()) return;
  ++syncing_;
  Sync(it->second);
  --syncing_;
}

void NativeWindow::FormChanged() {
  ::SetWindowTextW(hwnd_, W(form_.Caption()).c_str());
  RECT r{0, 0, form_.ClientWidth(), form_.ClientHeight()};
  ::AdjustWindowRectEx(&r, kFormStyle, FALSE, kFormExStyle);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  POINT p;
  ::GetCursorPos(&p);
  ::SetCursorPos(p.x, p.y);  // the cursor shape follows at once
}

void NativeWindow::ShowCentred() {
  RECT area;
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  RECT r;
  ::GetWindowRect(hwnd_, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  ::SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2,
                 0, 0, SWP_NOZORDER | SWP_NOSIZE);
  ::ShowWindow(hwnd_, SW_SHOW);
  ::UpdateWindow(hwnd_);
}

bool NativeWindow::Dispatch(MSG& msg) {
  if (accelerators_ != nullptr && ::TranslateAcceleratorW(hwnd_, accelerators_, &msg)) return true;
  if (::IsDialogMessageW(hwnd_, &msg)) return true;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
  return true;
}

void NativeWindow::Run() {
  MSG msg;
  while (!closed_ && ::GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
}

void NativeWindow::ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    Dispatch(msg);
  }
}

void NativeWindow::FormClosed() {
  if (closed_) return;
  closed_ = true;
  ::ShowWindow(hwnd_, SW_HIDE);
  ::PostMessageW(hwnd_, WM_NULL, 0, 0);  // wakes the message loop, which sees the window closed
}

NativeWindow::Binding* NativeWindow::BindingOf(HWND child) {
  auto it = byHandle_.find(child);
  if (it == byHandle_.end()) return nullptr;
  return &bindings_.at(it->second);
}

void NativeWindow::OnCommand(HWND child, int code) {
  Binding* b = BindingOf(child);
  if (b == nullptr || syncing_ > 0) return;
  TControl& c = *b->control;
  if (auto* edit = dynamic_cast<TEdit*>(&c)) {
    if (code == EN_CHANGE && child == b->hwnd) {
      const std::string text = U(TextOf(child));
      if (text != edit->Text()) Guarded([&] { edit->SetText(text); });
    }
  } else if (auto* box = dynamic_cast<TCheckBox*>(&c)) {
    if (code == BN_CLICKED) {
      const bool checked = ::SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
      Guarded([&] { box->SetChecked(checked); });
    }
  } else if (auto* button = dynamic_cast<TSpeedButton*>(&c)) {
    if (code == BN_CLICKED) Guarded([&] { button->Click(); });
  } else if (auto* combo = dynamic_cast<TComboBox*>(&c)) {
    if (code == CBN_SELCHANGE) {
      const int index = static_cast<int>(::SendMessageW(child, CB_GETCURSEL, 0, 0));
      if (index >= 0) Guarded([&] { combo->SetItemIndex(index); });
    } else if (code == CBN_EDITCHANGE) {
      const std::string text = U(TextOf(child));
      Guarded([&] { combo->SetText(text); });
    }
  }
}

void NativeWindow::DrawItem(const DRAWITEMSTRUCT& d) {
  Binding* b = BindingOf(d.hwndItem);
  if (b == nullptr) return;
  TControl& c = *b->control;
  HDC dc = d.hDC;
  RECT r = d.rcItem;
  ::SelectObject(dc, FontFor(c.Font()));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ToColorRef(c.Font().Color));
  if (auto* list = dynamic_cast<TCheckListBox*>(&c)) {
    ::FillRect(dc, &r, BrushFor(c.Color()));
    if (d.itemID == static_cast<UINT>(-1) || d.itemID >= list->Items().size()) return;
    // The tick box, then the text; the items are choices, not a selection.
    const int box = 13;
    RECT check{r.left + 2, r.top + (r.bottom - r.top - box) / 2, r.left + 2 + box, r.top + (r.bottom - r.top - box) / 2 + box};
    ::DrawFrameControl(dc, &check, DFC_BUTTON,
                       DFCS_BUTTONCHECK | DFCS_FLAT | (list->Checked(static_cast<int>(d.itemID)) ? DFCS_CHECKED : 0));
    RECT text{check.right + 4, r.top, r.right, r.bottom};
    const std::wstring item = W(list->Items()[d.itemID]);
    ::DrawTextW(dc, item.c_str(), static_cast<int>(item.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (d.itemState & ODS_FOCUS) ::DrawFocusRect(dc, &r);
    return;
  }
  auto* button = dynamic_cast<TSpeedButton*>(&c);
  if (button == nullptr) return;
  ::FillRect(dc, &r, BrushFor(c.Color()));
  const bool pressed = (d.itemState & ODS_SELECTED) != 0;
  if (pressed) ::DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
  else if (!button->Flat()) ::DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  GpImage* glyph = static_cast<GpImage*>(GlyphFor(button->Glyph()));
  const SIZE g = ImageSize(glyph);
  const std::wstring caption = W(button->Caption());
  SIZE t{0, 0};
  ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &t);
  const int shift = pressed ? 1 : 0;
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int spacing = caption.empty() || glyph == nullptr ? 0 : 4;
  int gx, gy, tx, ty;
  if (button->Layout() == TButtonLayout::blGlyphTop) {
    const int total = g.cy + spacing + (caption.empty() ? 0 : t.cy);
    gx = (w - g.cx) / 2;
    gy = (h - total) / 2;
    tx = (w - t.cx) / 2;
    ty = gy + g.cy + spacing;
  } else {
    const int total = g.cx + spacing + t.cx;
    gx = (w - total) / 2;
    gy = (h - g.cy) / 2;
    tx = gx + g.cx + spacing;
    ty = (h - t.cy) / 2;
  }
  DrawImage(dc, glyph, r.left + gx + shift, r.top + gy + shift);
  if (!caption.empty()) ::TextOutW(dc, r.left + tx + shift, r.top + ty + shift, caption.c_str(), static_cast<int>(caption.size()));
}

LRESULT CALLBACK NativeWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<NativeWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(hwnd, msg, wp, lp);
}

LRESULT CALLBACK NativeWindow::CheckListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<NativeWindow*>(data);
  Binding* b = self->BindingOf(hwnd);
  auto* list = b != nullptr ? dynamic_cast<TCheckListBox*>(b->control) : nullptr;
  if (list != nullptr) {
    int index = -1;
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
      const LRESULT hit = ::SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lp);
      // A click on the tick box (not just on the text) ticks, as the check list does.
      if (HIWORD(hit) == 0 && static_cast<short>(LOWORD(lp)) < 2 + 13 + 2) index = LOWORD(hit);
    } else if (msg == WM_KEYDOWN && wp == VK_SPACE) {
      index = static_cast<int>(::SendMessageW(hwnd, LB_GETCARETINDEX, 0, 0));
    }
    if (index >= 0 && index < static_cast<int>(list->Items().size())) {
      const LRESULT r = ::DefSubclassProc(hwnd, msg, wp, lp);
      self->Guarded([&] { list->ClickCheck(index); });
      self->ControlChanged(*list);  // whatever the handler left is what shows
      return r;
    }
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT NativeWindow::Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto own = byHandle_.find(hwnd);
  const TControl* ownControl = own == byHandle_.end() ? nullptr : own->second;
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == kActionId && lp == 0) {
        Guarded([&] { form_.Action1.Execute(); });
        return 0;
      }
      OnCommand(reinterpret_cast<HWND>(lp), HIWORD(wp));
      return 0;
    case WM_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: {
      Binding* b = BindingOf(reinterpret_cast<HWND>(lp));
      if (b == nullptr) break;
      HDC dc = reinterpret_cast<HDC>(wp);
      // A labelled edit's caption stands on its parent's ground.
      const bool onParent = reinterpret_cast<HWND>(lp) == b->label && b->control->Parent() != nullptr;
      const TColor ground = onParent ? b->control->Parent()->Color() : b->control->Color();
      ::SetTextColor(dc, ToColorRef(b->control->Font().Color));
      ::SetBkColor(dc, ToColorRef(ground));
      return reinterpret_cast<LRESULT>(BrushFor(ground));
    }
    case WM_SETCURSOR: {
      if (form_.ScreenCursor() == TCursor::crHourGlass) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      Binding* b = BindingOf(reinterpret_cast<HWND>(wp));
      if (b != nullptr && b->control->Cursor() == TCursor::crHandPoint) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    }
    case WM_ERASEBKGND: {
      RECT r;
      ::GetClientRect(hwnd, &r);
      ::FillRect(reinterpret_cast<HDC>(wp), &r, BrushFor(ownControl != nullptr ? ownControl->Color() : form_.Color()));
      return TRUE;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd, &ps);
      if (auto* image = dynamic_cast<const TImage*>(ownControl)) {
        DrawImage(dc, static_cast<GpImage*>(PictureFor(image->Picture())), 0, 0);
      }
      ::EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ACTIVATE:
      if (hwnd == hwnd_ && LOWORD(wp) != WA_INACTIVE && !closed_) Guarded([&] { form_.Activate(); });
      break;
    case WM_CLOSE:
      // The close box: the window closes as "Cancelar" closes it.
      if (hwnd == hwnd_) {
        if (!form_.Closed()) Guarded([&] { form_.Close(); });
        return 0;
      }
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool NativeWindow::SaveScreenshot(const std::string& path) {
  ::UpdateWindow(hwnd_);
  RECT r;
  ::GetWindowRect(hwnd_, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  const bool copied = ::BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  bool saved = false;
  GpBitmap* image = nullptr;
  if (copied && GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == Ok) {
    // The PNG encoder of GDI+.
    const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    saved = GdipSaveImageToFile(image, W(path).c_str(), &png, nullptr) == Ok;
    GdipDisposeImage(image);
  }
  ::DeleteObject(bitmap);
  return saved;
}

}  // namespace nx
