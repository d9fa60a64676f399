#pragma once
// The setup window on screen with Win32 controls: one child window per control of TFInstalacion,
// kept in step with it, and the operator's clicks, ticks and typing handed back to it.

#include <windows.h>

#include <map>
#include <string>

#include "app/FInstall.h"

namespace nx {

class NativeWindow final : public FormView {
 public:
  // Creates the window (hidden) and its controls from the window's current state, and attaches
  // itself as its view. Throws std::runtime_error with the system's text when Windows refuses.
  explicit NativeWindow(TFInstalacion& form);
  ~NativeWindow() override;
  NativeWindow(const NativeWindow&) = delete;
  NativeWindow& operator=(const NativeWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  // The child window that shows control; null for none.
  HWND HandleOf(const TControl& control) const;
  // The caption label of a labelled edit box.
  HWND LabelOf(const TLabeledEdit& edit) const;

  // Shows the window centred on the screen.
  void ShowCentred();
  // Runs the message loop until the window has closed.
  void Run();

  // What the window shows, as a PNG file (a Windows path). False when it cannot be written.
  bool SaveScreenshot(const std::string& path);

  // FormView
  void ControlChanged(const TControl& control) override;
  void FormChanged() override;
  void ProcessMessages() override;
  void FormClosed() override;

 private:
  struct Binding {
    TControl* control = nullptr;
    HWND hwnd = nullptr;
    HWND label = nullptr;  // labelled edits only
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK CheckListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
  LRESULT Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  bool Dispatch(MSG& msg);

  void Bind(TControl& control);
  void Sync(const Binding& b);
  void OnCommand(HWND child, int code);
  void DrawItem(const DRAWITEMSTRUCT& d);
  Binding* BindingOf(HWND child);
  HFONT FontFor(const TFont& font);
  HBRUSH BrushFor(TColor color);
  void* PictureFor(const std::string& pngBytes);
  void* GlyphFor(TGlyph glyph);
  template <typename F>
  void Guarded(F&& f);

  TFInstalacion& form_;
  HWND hwnd_ = nullptr;
  HACCEL accelerators_ = nullptr;
  ULONG_PTR gdiplus_ = 0;
  std::map<const TControl*, Binding> bindings_;
  std::map<HWND, const TControl*> byHandle_;
  std::map<std::string, HFONT> fonts_;
  std::map<TColor, HBRUSH> brushes_;
  std::map<std::string, void*> pictures_;  // by PNG bytes: decoded once
  std::map<TGlyph, void*> glyphs_;
  int syncing_ = 0;  // > 0 while controls are set from the window: their notifications are not input
  bool closed_ = false;
};

// "\r" and "\r\n" line breaks as the system's controls show them.
std::wstring ToWindowsText(const std::string& utf8);

}  // namespace nx
