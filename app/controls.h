#pragma once
// The window's controls as plain data, free of any toolkit: what the handlers read and change,
// and what a view shows. Every change of a shown property goes to the owner, which tells the view.
// Geometry is in pixels, relative to the parent control (the window's client area for top-level
// controls).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nx {

// Colours as the window toolkit of the original platform stores them: 0x00BBGGRR for plain RGB,
// 0xFF0000nn for the system colour with index nn (GetSysColor), resolved by the view.
using TColor = uint32_t;
constexpr TColor clBlack = 0x00000000;
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clWindow = 0xFF000005;
constexpr TColor clWindowText = 0xFF000008;
constexpr TColor clBtnFace = 0xFF00000F;
constexpr TColor clBtnShadow = 0xFF000010;
constexpr TColor clHotLight = 0xFF00001A;

struct TFont {
  std::string Name = "Tahoma";
  int Pixels = 11;  // character height in pixels
  bool Bold = false;
  TColor Color = clWindowText;

  bool operator==(const TFont&) const = default;
};

enum class TCursor { crDefault, crHandPoint, crHourGlass };
enum class TAlignment { taLeftJustify, taCenter, taRightJustify };

class TControl;

// Whoever owns the controls (the window) hears of every change.
class ControlOwner {
 public:
  virtual void ControlChanged(const TControl& control) = 0;

 protected:
  ~ControlOwner() = default;
};

class TControl {
 public:
  TControl(ControlOwner& owner, std::string name, TControl* parent, int left, int top, int width,
           int height);
  virtual ~TControl() = default;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  const std::string& Name() const { return name_; }
  TControl* Parent() const { return parent_; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetWidth(int width) { SetBounds(left_, top_, width, height_); }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // Shown on screen: visible itself and every parent visible.
  bool Showing() const;

  const TFont& Font() const { return font_; }
  void SetFont(const TFont& font);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);

 protected:
  void Changed() { owner_.ControlChanged(*this); }

 private:
  ControlOwner& owner_;
  std::string name_;
  TControl* parent_;
  int left_, top_, width_, height_;
  bool visible_ = true;
  TFont font_;
  TColor color_ = clBtnFace;
  TCursor cursor_ = TCursor::crDefault;
};

class TLabel : public TControl {
 public:
  using TControl::TControl;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  // Sized to its text by the view; the width and height given are then only a starting point.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);

 private:
  std::string caption_;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  bool autoSize_ = false;
};

enum class TPanelBorder { kNone, kFlat };

class TPanel : public TControl {
 public:
  using TControl::TControl;
  TPanelBorder Border() const { return border_; }
  void SetBorder(TPanelBorder border);

 private:
  TPanelBorder border_ = TPanelBorder::kNone;
};

class TImage : public TControl {
 public:
  using TControl::TControl;
  // The picture as the bytes of a PNG file; empty for none.
  const std::string& Picture() const { return picture_; }
  void SetPicture(const std::string& pngBytes);

 private:
  std::string picture_;
};

class TEdit : public TControl {
 public:
  using TControl::TControl;
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);

 private:
  std::string text_;
  bool readOnly_ = false;
};

// An edit box with its own caption label above it, the label's bottom LabelSpacing pixels above
// the edit's top; the label moves and hides with the edit.
class TLabeledEdit : public TEdit {
 public:
  using TEdit::TEdit;
  static constexpr int LabelSpacing = 3;
  const std::string& LabelCaption() const { return labelCaption_; }
  void SetLabelCaption(const std::string& caption);

 private:
  std::string labelCaption_;
};

class TCheckBox : public TControl {
 public:
  using TControl::TControl;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);

 private:
  std::string caption_;
  bool checked_ = false;
};

// A list of items, each with its own tick box.
class TCheckListBox : public TControl {
 public:
  using TControl::TControl;
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(const std::vector<std::string>& items);
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int height);

  // Out-of-range indexes throw std::out_of_range, as a list index error would.
  bool Checked(int index) const;
  // A tick set from code: no event.
  void SetChecked(int index, bool checked);
  // The operator clicked the tick box of the item: the tick flips, then OnClickCheck runs.
  void ClickCheck(int index);

  std::function<void()> OnClickCheck;

 private:
  std::vector<std::string> items_;
  std::vector<bool> checked_;
  int itemHeight_ = 13;
};

enum class TButtonLayout { blGlyphLeft, blGlyphTop };
// The pictures of the window's buttons; the view draws them.
enum class TGlyph { kNone, kInstalar, kCancelar, kCarpeta, kSoporte };

class TSpeedButton : public TControl {
 public:
  using TControl::TControl;
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Flat() const { return flat_; }
  void SetFlat(bool flat);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout layout);
  TGlyph Glyph() const { return glyph_; }
  void SetGlyph(TGlyph glyph);

  // A click by the operator or from code: runs OnClick when assigned.
  void Click();
  std::function<void()> OnClick;

 private:
  std::string caption_;
  bool flat_ = false;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  TGlyph glyph_ = TGlyph::kNone;
};

// A drop-down list whose edit part may also be typed into.
class TComboBox : public TControl {
 public:
  using TControl::TControl;
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(const std::vector<std::string>& items);
  const std::string& Text() const { return text_; }
  // Typed text: no item is selected afterwards.
  void SetText(const std::string& text);
  // -1 when no item is selected.
  int ItemIndex() const { return itemIndex_; }
  // Selects the item and shows its text; -1 clears the selection and keeps the text.
  // Out-of-range indexes throw std::out_of_range.
  void SetItemIndex(int index);

 private:
  std::vector<std::string> items_;
  std::string text_;
  int itemIndex_ = -1;
};

// Setting the position stops it at Max; moving Max leaves the position alone (the view shows it
// within the bounds), so lines logged before the bar is sized keep counting.
class TProgressBar : public TControl {
 public:
  using TControl::TControl;
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetMax(int max);
  void SetPosition(int position);

 private:
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
};

// A keyboard command: ShortCut is the stored key value (virtual key in the low byte, 0x2000 Shift,
// 0x4000 Ctrl, 0x8000 Alt).
struct TAction {
  std::string Caption;
  uint16_t ShortCut = 0;
  std::function<void()> OnExecute;

  static constexpr uint16_t kShift = 0x2000;
  static constexpr uint16_t kCtrl = 0x4000;
  static constexpr uint16_t kAlt = 0x8000;

  // Runs OnExecute when assigned.
  void Execute() const {
    if (OnExecute) OnExecute();
  }
};

// Settings of the TCP client that probes the database server.
struct TTcpClient {
  int ConnectTimeout = 0;  // milliseconds
  int IPVersion = 4;
};

}  // namespace nx
