#include "app/controls.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace nx {

namespace {

template <typename T>
bool Assign(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

void CheckIndex(int index, size_t count, const std::string& name) {
  if (index < 0 || static_cast<size_t>(index) >= count)
    throw std::out_of_range(name + ": índice de lista fuera de límites (" + std::to_string(index) +
                            ")");
}

}  // namespace

TControl::TControl(ControlOwner& owner, std::string name, TControl* parent, int left, int top,
                   int width, int height)
    : owner_(owner),
      name_(std::move(name)),
      parent_(parent),
      left_(left),
      top_(top),
      width_(width),
      height_(height) {}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Changed();
}

void TControl::SetVisible(bool visible) {
  if (Assign(visible_, visible)) Changed();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TControl::SetFont(const TFont& font) {
  if (Assign(font_, font)) Changed();
}

void TControl::SetColor(TColor color) {
  if (Assign(color_, color)) Changed();
}

void TControl::SetCursor(TCursor cursor) {
  if (Assign(cursor_, cursor)) Changed();
}

void TLabel::SetCaption(const std::string& caption) {
  if (Assign(caption_, caption)) Changed();
}

void TLabel::SetAlignment(TAlignment alignment) {
  if (Assign(alignment_, alignment)) Changed();
}

void TLabel::SetAutoSize(bool autoSize) {
  if (Assign(autoSize_, autoSize)) Changed();
}

void TPanel::SetBorder(TPanelBorder border) {
  if (Assign(border_, border)) Changed();
}

void TImage::SetPicture(const std::string& pngBytes) {
  if (Assign(picture_, pngBytes)) Changed();
}

void TEdit::SetText(const std::string& text) {
  if (Assign(text_, text)) Changed();
}

void TEdit::SetReadOnly(bool readOnly) {
  if (Assign(readOnly_, readOnly)) Changed();
}

void TLabeledEdit::SetLabelCaption(const std::string& caption) {
  if (Assign(labelCaption_, caption)) Changed();
}

void TCheckBox::SetCaption(const std::string& caption) {
  if (Assign(caption_, caption)) Changed();
}

void TCheckBox::SetChecked(bool checked) {
  if (Assign(checked_, checked)) Changed();
}

void TCheckListBox::SetItems(const std::vector<std::string>& items) {
  items_ = items;
  checked_.assign(items.size(), false);
  Changed();
}

void TCheckListBox::SetItemHeight(int height) {
  if (Assign(itemHeight_, height)) Changed();
}

bool TCheckListBox::Checked(int index) const {
  CheckIndex(index, items_.size(), Name());
  return checked_[index];
}

void TCheckListBox::SetChecked(int index, bool checked) {
  CheckIndex(index, items_.size(), Name());
  if (checked_[index] == checked) return;
  checked_[index] = checked;
  Changed();
}

void TCheckListBox::ClickCheck(int index) {
  SetChecked(index, !Checked(index));
  if (OnClickCheck) OnClickCheck();
}

void TSpeedButton::SetCaption(const std::string& caption) {
  if (Assign(caption_, caption)) Changed();
}

void TSpeedButton::SetFlat(bool flat) {
  if (Assign(flat_, flat)) Changed();
}

void TSpeedButton::SetLayout(TButtonLayout layout) {
  if (Assign(layout_, layout)) Changed();
}

void TSpeedButton::SetGlyph(TGlyph glyph) {
  if (Assign(glyph_, glyph)) Changed();
}

void TSpeedButton::Click() {
  if (OnClick) OnClick();
}

void TComboBox::SetItems(const std::vector<std::string>& items) {
  items_ = items;
  itemIndex_ = -1;
  Changed();
}

void TComboBox::SetText(const std::string& text) {
  if (text == text_ && itemIndex_ == -1) return;
  text_ = text;
  itemIndex_ = -1;
  Changed();
}

void TComboBox::SetItemIndex(int index) {
  if (index != -1) CheckIndex(index, items_.size(), Name());
  if (index == itemIndex_) return;
  itemIndex_ = index;
  if (index >= 0) text_ = items_[index];
  Changed();
}

// The position is kept when the maximum moves: the driver sizes the bar from 0 upwards after the
// start-up lines were logged, and those lines must still count.
void TProgressBar::SetMax(int max) {
  if (Assign(max_, max)) Changed();
}

void TProgressBar::SetPosition(int position) {
  if (Assign(position_, std::clamp(position, min_, std::max(min_, max_)))) Changed();
}

}  // namespace nx
