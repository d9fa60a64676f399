#pragma once
// The setup window on screen: one widget per control of TFInstalacion, kept in step with it, and
// the operator's clicks, ticks and typing handed back to it.

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "app/FInstall.h"

class QLabel;

namespace nx {

class FInstallWindow final : public QWidget, public FormView {
 public:
  // Builds the widgets from the window's current state and attaches itself as its view.
  explicit FInstallWindow(TFInstalacion& form);
  ~FInstallWindow() override;

  // Shows the window centred on the screen.
  void ShowCentred();

  // Runs once the window has closed (the entry ends the message loop there).
  std::function<void()> OnClosed;
  // Hears the error a handler raised instead of the error box (a driver that records a run).
  std::function<void(const std::string& text)> OnHandlerError;

  // The widget that shows control; null for none.
  QWidget* WidgetOf(const TControl& control) const;
  // The caption label of a labelled edit box.
  QLabel* LabelOf(const TLabeledEdit& edit) const;

  // FormView
  void ControlChanged(const TControl& control) override;
  void FormChanged() override;
  void ProcessMessages() override;
  void FormClosed() override;

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  template <typename F>
  static void Guarded(FInstallWindow* window, F&& f);
  void ReportError(const std::string& text);

  struct Binding {
    QWidget* widget = nullptr;
    QLabel* label = nullptr;  // labelled edits only
    std::function<void()> sync;
  };

  void Bind(TControl& control);
  void SyncCommon(const TControl& control, QWidget* widget);
  void SyncPicture(const TImage& image, QLabel* label);

  TFInstalacion& form_;
  std::unordered_map<const TControl*, Binding> bindings_;
  std::unordered_map<const TControl*, std::string> shownPictures_;
  int syncing_ = 0;  // > 0 while the widgets are set from the window: their signals are not input
  bool overrideCursor_ = false;
  bool closing_ = false;
};

}  // namespace nx
