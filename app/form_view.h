#pragma once
// What the setup window needs from whatever shows it on screen. The window (TFInstalacion) is the
// program's state and logic; a view observes it, mirrors every change, and hands the operator's
// actions back to it.

namespace nx {

class TControl;

class FormView {
 public:
  virtual ~FormView() = default;
  // A property of the control changed.
  virtual void ControlChanged(const TControl& control) = 0;
  // A property of the window itself changed: caption, size, cursor.
  virtual void FormChanged() = 0;
  // Let the window process its pending messages once (repaint, input), then return.
  virtual void ProcessMessages() = 0;
  // The window has been closed: take it off the screen and end the message loop once control
  // is back there.
  virtual void FormClosed() = 0;
};

}  // namespace nx
